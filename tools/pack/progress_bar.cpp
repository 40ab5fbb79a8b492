#include "progress_bar.h"

#include <algorithm>

namespace lumipack {
namespace {

constexpr unsigned kBarWidth = 30;

}  // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label, uint64_t total)
    : out_(out), enabled_(enabled), label_(std::move(label)), total_(total) {
  Update(0);
}

ProgressBar::~ProgressBar() {
  if (enabled_ && shown_ >= 0) out_ << '\n' << std::flush;
}

void ProgressBar::Update(uint64_t done) {
  if (!enabled_) return;
  const uint64_t clamped = std::min(done, total_);
  const auto percent = static_cast<unsigned>(total_ == 0 ? 100 : clamped * 100 / total_);
  if (static_cast<int>(percent) == shown_) return;
  Draw(percent);
}

void ProgressBar::Draw(unsigned percent) {
  shown_ = static_cast<int>(percent);
  const unsigned filled = percent * kBarWidth / 100;
  out_ << '\r' << label_ << " [" << std::string(filled, '#') << std::string(kBarWidth - filled, '.')
       << "] " << percent << "%" << std::flush;
}

}  // namespace lumipack
