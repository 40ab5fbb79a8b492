#include "starter.h"

#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "file_io.h"
#include "host.h"

namespace lumipack {
namespace {

constexpr std::string_view kManifest = R"(# The manifest of a screensaver installer, read by lumipack.
# Build it with:   lumipack build lumipack.toml --screensaver MyScreensaver.scr
# Check it with:   lumipack check lumipack.toml --screensaver MyScreensaver.scr
# Paths are taken from this file's folder. Every string may use ${NAME},
# given on the command line as -D NAME=VALUE, and ${env:NAME} for an
# environment variable; write $${ for a literal ${.
# `lumipack schema` prints a JSON Schema of this file for editors.

title = "My Screensaver"                # also names the installer: My ScreensaverSetup.exe
company = "My Company"
copyright = "(c) My Company"            # the copyright line the installer shows
version = "1.0"                         # shown in the list of installed programs
language = "auto"                       # auto, english, french, german, spanish,
                                        # italian, dutch, portuguese or russian
licence = "licence.txt"                 # UTF-8 text shown before installing

# The screensaver: name it here or give --screensaver on the command line.
# screensaver = "MyScreensaver.scr"
# file_name = "MyScreensaver"           # the installed name; default: the file's own
# url = "https://example.com/"          # the web page, shown in the installed-programs list
# info = "info.txt"                     # UTF-8 text for the information page
# picture = "header.png"                # BMP, JPEG or PNG header picture
# arch = "auto"                         # x86, x64, or auto: the screensaver's own
# compression = "best"                  # best or fast

[options]                               # what the installer offers; these are the defaults
setup_options = true                    # show the setup options
open_display_properties = true          # open the display properties when done
start_menu_entry = true                 # create a Start menu entry
desktop_icon = false                    # create a desktop icon
detect_existing = true                  # detect an installed copy
info_page = true                        # show the information page

[header]
show_text = true                        # draw the title over the header picture
# text_color = "#FFFFFF"
# accent_color = "#1E5AA0"
)";

constexpr std::string_view kLicence = R"(Licence for {ScrName}

Replace this text with the licence of your screensaver. The installer shows
it before installing, and the user must accept it to go on.
)";

bool Taken(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

Status WriteNew(const std::filesystem::path& path, std::string_view text) {
  Result<std::unique_ptr<NewFile>> file = NewFile::Create(path, std::nullopt);
  if (!file) return file.status();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const bool written = (*file)->Write(std::span<const uint8_t>(bytes, text.size()));
  if (!(*file)->Close() || !written) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return Status::Failure(Utf8FromPath(path) + ": cannot be written");
  }
  return {};
}

}  // namespace

std::string_view StarterManifest() { return kManifest; }
std::string_view StarterLicence() { return kLicence; }

Status WriteStarter(const std::filesystem::path& folder, Console& console) {
  const std::filesystem::path manifest = folder / kStarterManifestName;
  const std::filesystem::path licence = folder / kStarterLicenceName;
  for (const std::filesystem::path& path : {manifest, licence}) {
    if (Taken(path)) {
      return Status::Failure(Utf8FromPath(path) + ": already exists; nothing was written");
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) {
    return Status::Failure(Utf8FromPath(folder) + ": cannot create the folder");
  }
  if (Status s = WriteNew(manifest, kManifest); !s) return s;
  if (Status s = WriteNew(licence, kLicence); !s) {
    std::filesystem::remove(manifest, ec);
    return s;
  }
  console.out << "wrote " << Utf8FromPath(manifest) << "\n"
              << "wrote " << Utf8FromPath(licence) << "\n"
              << "Next: edit " << Utf8FromPath(manifest) << ", then run\n"
              << "  lumipack build " << Utf8FromPath(manifest) << " --screensaver YOUR.scr\n";
  return {};
}

}  // namespace lumipack
