#include "setup/work_files_win.h"

#include <algorithm>

#include "win32/windows_win.h"
#include "setup/work_files.h"

namespace lumiset {

bool ExtractResourceToWorkFile(Platform& p, std::string& work_folder, const char* type,
                               const char* name, std::string* path) {
  constexpr size_t kPiece = 32767;
  path->clear();
  HRSRC found = FindResourceA(nullptr, name, type);
  if (!found) return false;
  const DWORD size = SizeofResource(nullptr, found);
  HGLOBAL loaded = LoadResource(nullptr, found);
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes && size != 0) return false;

  const std::string file_name = MakeWorkFileName(p, work_folder, kWorkFileExtension);
  if (file_name.empty()) return false;
  // CREATE_NEW: a name found free a moment ago may not be taken over.
  StatusOr<std::unique_ptr<WritableFile>> created =
      p.CreateForWrite(file_name, /*create_new=*/true);
  if (!created) return false;
  std::unique_ptr<WritableFile> file = std::move(created).value();
  *path = file_name;
  for (size_t done = 0; done < size;) {
    const size_t n = std::min<size_t>(kPiece, size - done);
    if (!file->Write(bytes + done, n)) {
      file->Close().IgnoreError();
      return false;
    }
    done += n;
  }
  return file->Close().ok();
}

}  // namespace lumiset
