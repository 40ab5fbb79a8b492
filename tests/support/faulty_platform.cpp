#include "faulty_platform.h"

namespace lumiset::testing {
namespace {

class FaultyReadable final : public ReadableFile {
 public:
  FaultyReadable(std::unique_ptr<ReadableFile> inner, std::string path, FaultyPlatform& owner)
      : inner_(std::move(inner)), path_(std::move(path)), owner_(owner) {}
  uint64_t Size() override { return inner_->Size(); }
  Status ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (owner_.fail_read && owner_.fail_read(path_, offset)) return owner_.Injected("read", path_);
    return inner_->ReadAt(offset, dst, n);
  }

 private:
  std::unique_ptr<ReadableFile> inner_;
  std::string path_;
  FaultyPlatform& owner_;
};

// A write that fail_write may break; a failed write may leave part of its
// bytes behind, as a real one can.
Status FaultyWrite(FaultyPlatform& owner, WritableFile& inner, const std::string& path,
                   uint64_t& position, const void* src, size_t n) {
  if (owner.fail_write && owner.fail_write(path, position)) {
    if (n > 1) inner.Write(src, n / 2).IgnoreError();
    position += n / 2;
    return owner.Injected("write", path);
  }
  position += n;
  return inner.Write(src, n);
}

class FaultyWritable final : public WritableFile {
 public:
  FaultyWritable(std::unique_ptr<WritableFile> inner, std::string path, FaultyPlatform& owner)
      : inner_(std::move(inner)), path_(std::move(path)), owner_(owner) {}
  Status Write(const void* src, size_t n) override {
    return FaultyWrite(owner_, *inner_, path_, position_, src, n);
  }
  Status Seek(uint64_t offset) override {
    position_ = offset;
    return inner_->Seek(offset);
  }
  Status Flush() override { return inner_->Flush(); }
  Status Close() override {
    Status closed = inner_->Close();
    if (owner_.on_close) owner_.on_close(path_);
    return closed;
  }

 private:
  std::unique_ptr<WritableFile> inner_;
  std::string path_;
  FaultyPlatform& owner_;
  uint64_t position_ = 0;
};

class FaultyStaged final : public StagedFile {
 public:
  FaultyStaged(std::unique_ptr<StagedFile> inner, std::string destination, FaultyPlatform& owner)
      : inner_(std::move(inner)), destination_(std::move(destination)), owner_(owner) {}
  Status Write(const void* src, size_t n) override {
    return FaultyWrite(owner_, *inner_, destination_, position_, src, n);
  }
  Status Seek(uint64_t offset) override {
    position_ = offset;
    return inner_->Seek(offset);
  }
  Status Flush() override { return inner_->Flush(); }
  Status Close() override { return Commit(); }
  Status Commit() override {
    if (owner_.fail_commit && owner_.fail_commit(destination_)) {
      return owner_.Injected("replace", destination_);
    }
    Status committed = inner_->Commit();
    if (committed && owner_.on_close) owner_.on_close(destination_);
    return committed;
  }

 private:
  std::unique_ptr<StagedFile> inner_;
  std::string destination_;
  FaultyPlatform& owner_;
  uint64_t position_ = 0;
};

}  // namespace

StatusOr<std::unique_ptr<StagedFile>> FaultyPlatform::CreateStagedFile(
    const std::string& destination) {
  if (fail_create && fail_create(destination)) return Injected("create", destination);
  StatusOr<std::unique_ptr<StagedFile>> inner = ForwardingPlatform::CreateStagedFile(destination);
  if (!inner) return inner;
  return std::unique_ptr<StagedFile>(
      std::make_unique<FaultyStaged>(std::move(inner).value(), destination, *this));
}

StatusOr<std::unique_ptr<ReadableFile>> FaultyPlatform::OpenForRead(const std::string& path,
                                                                    bool share_write) {
  if (fail_open && fail_open(path)) return Injected("open", path);
  StatusOr<std::unique_ptr<ReadableFile>> inner =
      ForwardingPlatform::OpenForRead(path, share_write);
  if (!inner) return inner;
  return std::unique_ptr<ReadableFile>(
      std::make_unique<FaultyReadable>(std::move(inner).value(), path, *this));
}

StatusOr<std::unique_ptr<WritableFile>> FaultyPlatform::CreateForWrite(const std::string& path,
                                                                       bool create_new) {
  if (fail_create && fail_create(path)) return Injected("create", path);
  StatusOr<std::unique_ptr<WritableFile>> inner =
      ForwardingPlatform::CreateForWrite(path, create_new);
  if (!inner) return inner;
  return std::unique_ptr<WritableFile>(
      std::make_unique<FaultyWritable>(std::move(inner).value(), path, *this));
}

Status FaultyPlatform::RemoveFile(const std::string& path) {
  if (fail_remove && fail_remove(path)) return Injected("delete", path);
  return ForwardingPlatform::RemoveFile(path);
}

}  // namespace lumiset::testing
