#include "fake_platform.h"

#include <algorithm>
#include <cstring>

#include "base/memory_file.h"

namespace lumiset::testing {
namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Fold(c);
  return out;
}

bool Match(std::string_view p, std::string_view n) {
  if (p.empty()) return n.empty();
  if (p == ".*" && n.empty()) return true;
  if (p[0] == '*') {
    for (size_t k = 0; k <= n.size(); ++k) {
      if (Match(p.substr(1), n.substr(k))) return true;
    }
    return false;
  }
  if (n.empty()) return false;
  if (p[0] != '?' && Fold(p[0]) != Fold(n[0])) return false;
  return Match(p.substr(1), n.substr(1));
}

// The fake's failures name the step and the path; they carry no system code.
Status Refused(const char* what, const std::string& path) {
  return Status::Failure(what, path, 0);
}

class MemoryReadable final : public ReadableFile {
 public:
  explicit MemoryReadable(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t Size() override { return bytes_.size(); }
  Status ReadAt(uint64_t offset, void* dst, size_t n) override {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return ShortRead();
    if (n) std::memcpy(dst, bytes_.data() + offset, n);
    return Status::Ok();
  }

 private:
  std::vector<uint8_t> bytes_;
};

class MemoryWritable final : public WritableFile {
 public:
  explicit MemoryWritable(std::shared_ptr<std::vector<uint8_t>> data) : data_(std::move(data)) {}
  Status Write(const void* src, size_t n) override {
    if (n == 0) return Status::Ok();
    const auto* b = static_cast<const uint8_t*>(src);
    if (data_->size() < pos_ + n) data_->resize(pos_ + n);
    std::memcpy(data_->data() + pos_, b, n);
    pos_ += n;
    return Status::Ok();
  }
  Status Seek(uint64_t offset) override {
    pos_ = static_cast<size_t>(offset);
    return Status::Ok();
  }
  Status Flush() override { return Status::Ok(); }
  Status Close() override { return Status::Ok(); }

 private:
  std::shared_ptr<std::vector<uint8_t>> data_;
  size_t pos_ = 0;
};

// Written at its own name, moved over the destination on Commit, deleted
// when dropped uncommitted.
class MemoryStaged final : public StagedFile {
 public:
  MemoryStaged(FakePlatform& owner, std::string path, std::string destination,
               std::unique_ptr<WritableFile> inner)
      : owner_(owner),
        path_(std::move(path)),
        destination_(std::move(destination)),
        inner_(std::move(inner)) {}
  ~MemoryStaged() override {
    if (!committed_) owner_.RemoveFile(path_).IgnoreError();
  }
  Status Write(const void* src, size_t n) override { return inner_->Write(src, n); }
  Status Seek(uint64_t offset) override { return inner_->Seek(offset); }
  Status Flush() override { return Status::Ok(); }
  Status Close() override { return Commit(); }
  Status Commit() override {
    if (committed_) return Status::Ok();
    Status moved = owner_.MoveReplacing(path_, destination_);
    if (moved) {
      committed_ = true;
      owner_.commits.push_back(path_ + " -> " + destination_);
    }
    return moved;
  }

 private:
  FakePlatform& owner_;
  std::string path_;
  std::string destination_;
  std::unique_ptr<WritableFile> inner_;
  bool committed_ = false;
};

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  return Match(pattern, name);
}

FakePlatform::FakePlatform() {
  nodes_["c:"] = Node{"C:", true, nullptr};
  special_folders[SpecialFolder::kLocalAppData] = "C:\\Users\\me\\AppData\\Local";
  special_folders[SpecialFolder::kRoamingAppData] = "C:\\Users\\me\\AppData\\Roaming";
  special_folders[SpecialFolder::kPrograms] = "C:\\Users\\me\\Start Menu\\Programs";
  special_folders[SpecialFolder::kDesktop] = "C:\\Users\\me\\Desktop";
  special_folders[SpecialFolder::kProgramFiles] = "C:\\Program Files (x86)";
  AddFolder("C:\\WINDOWS\\system32");
  AddFolder("C:\\WINDOWS\\Sysnative");
  AddFolder("C:\\Users\\me\\Temp");
  AddFolder("C:\\Users\\me\\Desktop");
  AddFolder("C:\\Downloads");
}

std::string FakePlatform::Key(std::string_view path) {
  std::string key = Lower(path);
  while (key.size() > 2 && key.back() == '\\') key.pop_back();
  return key;
}

std::string FakePlatform::Parent(const std::string& key) {
  const size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

const FakePlatform::Node* FakePlatform::Find(const std::string& path) const {
  auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

void FakePlatform::AddFolder(const std::string& path) {
  std::string key = Key(path);
  std::vector<std::string> chain;
  for (std::string k = key; !k.empty() && !nodes_.count(k); k = Parent(k)) {
    chain.push_back(k);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    nodes_[*it] = Node{path.substr(0, it->size()), true, nullptr};
  }
}

void FakePlatform::AddFile(const std::string& path, std::vector<uint8_t> bytes) {
  AddFolder(path.substr(0, path.rfind('\\')));
  nodes_[Key(path)] = Node{path, false, std::make_shared<std::vector<uint8_t>>(std::move(bytes))};
}

void FakePlatform::AddFile(const std::string& path, std::string_view text) {
  AddFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool FakePlatform::HasFile(const std::string& path) const {
  const Node* n = Find(path);
  return n && !n->folder;
}

bool FakePlatform::HasFolder(const std::string& path) const {
  const Node* n = Find(path);
  return n && n->folder;
}

std::vector<uint8_t> FakePlatform::FileBytes(const std::string& path) const {
  const Node* n = Find(path);
  return n && n->data ? *n->data : std::vector<uint8_t>{};
}

std::vector<std::string> FakePlatform::List(const std::string& folder) const {
  const std::string prefix = Key(folder) + "\\";
  std::vector<std::string> out;
  for (const auto& [key, node] : nodes_) {
    if (key.starts_with(prefix)) out.push_back(node.path.substr(prefix.size()));
  }
  return out;
}

bool FakePlatform::HasRegistryKey(RegistryRoot root, const std::string& path) const {
  const std::string key = Lower(path);
  for (const auto& [k, values] : registry_) {
    if (k.first == root && (k.second == key || k.second.starts_with(key + "\\"))) return true;
  }
  return false;
}


Status FakePlatform::RenameFile(const std::string& from, const std::string& to) {
  const Node* n = Find(from);
  if (!n || n->folder || Find(to) || !HasFolder(Parent(Key(to)))) return Refused("rename", from);
  Node moved = *n;
  moved.path = to;
  nodes_.erase(Key(from));
  nodes_[Key(to)] = moved;
  return Status::Ok();
}

std::optional<std::string> FakePlatform::ShortPathName(const std::string& path) {
  if (!Find(path)) return std::nullopt;
  auto alt = short_names.find(Key(path));
  if (alt == short_names.end()) return path;
  return path.substr(0, path.rfind('\\') + 1) + alt->second;
}

Status FakePlatform::SetCurrentFolder(const std::string& path) {
  if (!HasFolder(path)) return Refused("change to the folder", path);
  current_folder = path;
  return Status::Ok();
}

namespace {

// A file's text: UTF-16LE after its byte-order mark, else as it stands.
std::string IniText(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
    return std::string(bytes.begin(), bytes.end());
  }
  std::string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    uint32_t c = bytes[i] | bytes[i + 1] << 8;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = bytes[i + 2] | bytes[i + 3] << 8;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | c >> 6);
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | c >> 12);
      text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | c >> 18);
      text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

}  // namespace

std::string FakePlatform::ReadIniString(const std::string& file, const std::string& section,
                                        const std::string& key) {
  return IniValue(file, section, key);
}

std::string FakePlatform::IniValue(const std::string& file, const std::string& section,
                                   const std::string& key) const {
  if (auto it = ini_.find(Lower(file + "|" + section + "|" + key)); it != ini_.end()) {
    return it->second.substr(0, 255);
  }
  // A file written whole, as the system's profile functions would read it.
  const Node* n = Find(file);
  if (!n || n->folder || !n->data) return {};
  const std::string text = IniText(*n->data);
  std::string current;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("[") && line.ends_with("]")) {
      current = Lower(line.substr(1, line.size() - 2));
    } else if (const size_t eq = line.find('='); eq != std::string::npos &&
                                                 current == Lower(section) &&
                                                 Lower(line.substr(0, eq)) == Lower(key)) {
      return line.substr(eq + 1, 255);
    }
  }
  return {};
}

Status FakePlatform::WriteIniString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) {
  if (!HasFile(file)) {
    StatusOr<std::unique_ptr<WritableFile>> created = CreateForWrite(file, false);
    if (!created) return created.status();
    created.value()->Write("[", 1).IgnoreError();
  }
  ini_[Lower(file + "|" + section + "|" + key)] = value;
  return Status::Ok();
}

std::vector<std::string> FakePlatform::RegistrySubkeys(RegistryRoot root,
                                                       const std::string& path) const {
  const std::string prefix = Lower(path) + "\\";
  std::set<std::string> names;
  for (const auto& [k, values] : registry_) {
    if (k.first != root || !k.second.starts_with(prefix)) continue;
    const std::string rest = k.second.substr(prefix.size());
    names.insert(rest.substr(0, rest.find('\\')));
  }
  return {names.begin(), names.end()};
}

Status FakePlatform::DeleteRegistryKey(RegistryRoot root, const std::string& path) {
  const std::string key = Lower(path);
  if (undeletable_keys.count(key) || !HasRegistryKey(root, path))
    return Refused("delete the key", path);
  if (!RegistrySubkeys(root, path).empty()) return Refused("delete the key", path);
  registry_.erase({root, key});
  return Status::Ok();
}

Status FakePlatform::RunPrivateProgram(std::span<const uint8_t> program,
                                       const std::string& arguments) {
  programs_run.push_back({arguments, std::vector<uint8_t>(program.begin(), program.end())});
  if (!process_starts) return Refused("start", "the private program");
  if (on_run) on_run(arguments);
  return Status::Ok();
}

Status FakePlatform::MoveReplacing(const std::string& from, const std::string& to) {
  const Node* n = Find(from);
  const Node* there = Find(to);
  if (!n || n->folder || (there && there->folder) || !HasFolder(Parent(Key(to)))) {
    return Refused("replace", to);
  }
  if (unwritable_folders.count(Parent(Key(to)))) return Refused("replace", to);
  Node moved = *n;
  moved.path = to;
  nodes_.erase(Key(from));
  nodes_[Key(to)] = moved;
  return Status::Ok();
}

StatusOr<std::unique_ptr<StagedFile>> FakePlatform::CreateStagedFile(
    const std::string& destination) {
  const std::string folder = destination.substr(0, destination.rfind('\\'));
  const std::string path =
      folder + "\\" + kStagedFilePrefix + std::to_string(++staged_count_) + ".tmp";
  StatusOr<std::unique_ptr<WritableFile>> inner = CreateForWrite(path, /*create_new=*/true);
  if (!inner) return inner.status();
  return std::unique_ptr<StagedFile>(
      std::make_unique<MemoryStaged>(*this, path, destination, std::move(inner).value()));
}

StatusOr<std::unique_ptr<WritableFile>> FakePlatform::OpenForAppend(const std::string& path) {
  const Node* n = Find(path);
  if (!n) return CreateForWrite(path, /*create_new=*/true);
  if (n->folder) return Refused("open", path);
  auto writable = std::make_unique<MemoryWritable>(n->data);
  writable->Seek(n->data->size()).IgnoreError();
  return std::unique_ptr<WritableFile>(std::move(writable));
}

bool FakePlatform::IsReparsePoint(const std::string& path) {
  return Find(path) && reparse_points.count(Key(path)) != 0;
}

std::optional<std::string> FakePlatform::CanonicalPath(const std::string& path) {
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return std::nullopt;
  std::vector<std::string> parts;
  size_t i = 3;
  while (i <= path.size()) {
    const size_t next = std::min(path.find('\\', i), path.size());
    std::string part = path.substr(i, next - i);
    i = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out = path.substr(0, 2);
  for (const std::string& part : parts) {
    // A short name of an existing entry reads as its long name.
    std::string name = part;
    const std::string parent_key = Key(out);
    for (const auto& [key, short_name] : short_names) {
      if (Parent(key) == parent_key && Lower(short_name) == Lower(part)) {
        if (const Node* n = Find(key)) name = n->path.substr(n->path.rfind('\\') + 1);
      }
    }
    out += "\\" + name;
  }
  if (parts.empty()) out += "\\";
  return out;
}

Status FakePlatform::ShellOpen(const std::string& program, const std::string& parameters) {
  shell_opened.emplace_back(program, parameters);
  return Status::Ok();
}

Status FakePlatform::CreateShellLink(const std::string& link_path, const std::string& target,
                                     const std::string& arguments, const std::string& description,
                                     const std::string& working_folder) {
  StatusOr<std::unique_ptr<WritableFile>> file = CreateForWrite(link_path, false);
  if (!file) return file.status();
  const std::string content =
      target + "|" + arguments + "|" + working_folder + "|" + description;
  return file.value()->Write(content.data(), content.size());
}

void FakePlatform::SetRegistry(RegistryRoot root, const std::string& subkey,
                               const std::string& name, const std::string& value) {
  registry_[{root, Lower(subkey)}][Lower(name)] = RegistryValue{value, std::nullopt};
}

void FakePlatform::AddRegistryKey(RegistryRoot root, const std::string& subkey) {
  registry_[{root, Lower(subkey)}];
}

std::optional<std::string> FakePlatform::Registry(RegistryRoot root, const std::string& subkey,
                                                  const std::string& name) const {
  auto key = registry_.find({root, Lower(subkey)});
  if (key == registry_.end()) return std::nullopt;
  auto value = key->second.find(Lower(name));
  if (value == key->second.end() || value->second.dword) return std::nullopt;
  return value->second.text;
}

std::optional<uint32_t> FakePlatform::RegistryDword(RegistryRoot root, const std::string& subkey,
                                                    const std::string& name) const {
  auto key = registry_.find({root, Lower(subkey)});
  if (key == registry_.end()) return std::nullopt;
  auto value = key->second.find(Lower(name));
  if (value == key->second.end()) return std::nullopt;
  return value->second.dword;
}

std::vector<std::string> FakePlatform::RegistryValueNames(RegistryRoot root,
                                                          const std::string& subkey) const {
  std::vector<std::string> names;
  auto key = registry_.find({root, Lower(subkey)});
  if (key == registry_.end()) return names;
  for (const auto& [name, value] : key->second) names.push_back(name);
  return names;
}

Status FakePlatform::WriteRegistryDword(RegistryRoot root, const std::string& subkey,
                                      const std::string& name, uint32_t value) {
  registry_[{root, Lower(subkey)}][Lower(name)] = RegistryValue{{}, value};
  return Status::Ok();
}

Status FakePlatform::DeleteRegistryValue(RegistryRoot root, const std::string& subkey,
                                       const std::string& name) {
  auto key = registry_.find({root, Lower(subkey)});
  if (key == registry_.end() || key->second.erase(Lower(name)) != 1) {
    return Refused("delete", subkey + "\\" + name);
  }
  return Status::Ok();
}

bool FakePlatform::RegistryKeyIsEmpty(RegistryRoot root, const std::string& path) {
  auto key = registry_.find({root, Lower(path)});
  if (key == registry_.end()) {
    // A key that exists only as the parent of others is not empty.
    return false;
  }
  return key->second.empty() && RegistrySubkeys(root, path).empty();
}

std::optional<std::string> FakePlatform::ReadRegistryString(RegistryRoot root,
                                                            const std::string& subkey,
                                                            const std::string& name) {
  std::optional<std::string> value = Registry(root, subkey, name);
  if (!value || value->size() > kMaxPathChars) return std::nullopt;
  return value->substr(0, value->find('\0'));
}

Status FakePlatform::WriteRegistryString(RegistryRoot root, const std::string& subkey,
                                       const std::string& name, const std::string& text) {
  SetRegistry(root, subkey, name, text);
  return Status::Ok();
}

std::optional<Platform::PathKind> FakePlatform::QueryPath(const std::string& path) {
  if (path.size() > kMaxPathChars) return std::nullopt;
  const Node* n = Find(path);
  if (!n) return std::nullopt;
  return n->folder ? PathKind::kFolder : PathKind::kFile;
}

std::vector<FindEntry> FakePlatform::FindFiles(const std::string& pattern) {
  if (pattern.size() > kMaxPathChars) return {};
  const size_t slash = pattern.rfind('\\');
  if (slash == std::string::npos) return {};
  const std::string folder = Key(pattern.substr(0, slash));
  const std::string name = pattern.substr(slash + 1);
  const Node* parent = Find(folder);
  if (!parent || !parent->folder || name.empty()) return {};
  std::vector<FindEntry> out;
  if (name.find_first_of("*?") == std::string::npos) {
    if (const Node* n = Find(folder + "\\" + name)) {
      auto alt = short_names.find(Key(folder + "\\" + name));
      out.push_back({n->path.substr(n->path.rfind('\\') + 1), n->folder,
                     alt == short_names.end() ? std::string() : alt->second});
    }
    return out;
  }
  const std::string prefix = folder + "\\";
  for (const auto& [key, node] : nodes_) {
    if (!key.starts_with(prefix) || key.find('\\', prefix.size()) != std::string::npos) continue;
    const std::string shown = node.path.substr(node.path.rfind('\\') + 1);
    if (WildcardMatch(name, shown)) {
      auto alt = short_names.find(key);
      out.push_back({shown, node.folder, alt == short_names.end() ? std::string() : alt->second});
    }
  }
  return out;
}

Status FakePlatform::MakeFolder(const std::string& path) {
  if (path.size() > kMaxPathChars) return Refused("create the folder", path);
  const std::string key = Key(path);
  const Node* parent = Find(Parent(key));
  if (nodes_.count(key) || !parent || !parent->folder) return Refused("create the folder", path);
  if (unwritable_folders.count(Parent(key))) return Refused("create the folder", path);
  nodes_[key] = Node{path, true, nullptr};
  return Status::Ok();
}

Status FakePlatform::RemoveFolder(const std::string& path) {
  const std::string key = Key(path);
  const Node* n = Find(key);
  if (!n || !n->folder || !List(path).empty()) return Refused("remove the folder", path);
  nodes_.erase(key);
  return Status::Ok();
}

Status FakePlatform::RemoveFile(const std::string& path) {
  const Node* n = Find(path);
  if (!n || n->folder) return Refused("delete", path);
  nodes_.erase(Key(path));
  return Status::Ok();
}

Status FakePlatform::SetNormalAttributes(const std::string& path) {
  return Find(path) ? Status::Ok() : Refused("clear the attributes of", path);
}

StatusOr<std::unique_ptr<ReadableFile>> FakePlatform::OpenForRead(const std::string& path, bool) {
  const Node* n = Find(path);
  if (path.size() > kMaxPathChars || !n || n->folder) return Refused("open", path);
  return std::unique_ptr<ReadableFile>(std::make_unique<MemoryReadable>(*n->data));
}

StatusOr<std::unique_ptr<WritableFile>> FakePlatform::CreateForWrite(const std::string& path,
                                                                     bool create_new) {
  if (path.size() > kMaxPathChars) return Refused("create", path);
  const std::string key = Key(path);
  const Node* parent = Find(Parent(key));
  if (!parent || !parent->folder || unwritable_folders.count(Parent(key))) {
    return Refused("create", path);
  }
  if (const Node* n = Find(key); n && (n->folder || create_new)) return Refused("create", path);
  auto data = std::make_shared<std::vector<uint8_t>>();
  nodes_[key] = Node{path, false, data};
  return std::unique_ptr<WritableFile>(std::make_unique<MemoryWritable>(data));
}

std::optional<std::string> FakePlatform::SpecialFolderPath(SpecialFolder folder) {
  auto it = special_folders.find(folder);
  if (it == special_folders.end()) return std::nullopt;
  return it->second;
}

}  // namespace lumiset::testing
