// Shortcuts through the shell link object; folders and opening through the
// shell. Wide-character interfaces throughout, so any path round-trips.
#include "platform/shell.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>

#include "platform/win32/utf16.h"

namespace qv::platform {

namespace {

// COM for the calling thread for one scope, if it was not on already.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

// Releases an interface when the scope ends.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

bool MakeFolders(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::string ShellFolderPath(ShellFolder folder) {
  const int csidl = folder == ShellFolder::kDesktop ? CSIDL_DESKTOPDIRECTORY : CSIDL_STARTUP;
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  std::wstring text(path);
  while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) text.pop_back();
  return Narrow(text);
}

std::string_view ExecutableSuffix() { return ".exe"; }

std::string ShortcutPath(const std::string& folder, const std::string& name) {
  return folder + "\\" + name + ".lnk";
}

bool MakeShortcut(const std::string& shortcut_path, const std::string& target, const std::string& /*name*/,
                  const ShortcutLook& /*look*/) {
  const std::wstring wlink = Widen(shortcut_path), wtarget = Widen(target);
  if (wlink.empty() || wtarget.empty()) return false;
  if (const std::size_t slash = wlink.find_last_of(L"\\/"); slash != std::wstring::npos && slash > 0)
    if (!MakeFolders(wlink.substr(0, slash))) return false;
  ComScope com;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid())))
    return false;
  link->SetShowCmd(SW_SHOW);
  link->SetWorkingDirectory(L"");
  link->SetIconLocation(L"", 0);
  link->SetHotkey(0);
  link->SetDescription(L"");
  if (FAILED(link->SetPath(wtarget.c_str()))) return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.OutVoid()))) return false;
  return SUCCEEDED(file->Save(wlink.c_str(), TRUE));
}

std::string ShortcutTarget(const std::string& shortcut_path) {
  const std::wstring wlink = Widen(shortcut_path);
  if (wlink.empty()) return {};
  ComScope com;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid())))
    return {};
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.OutVoid()))) return {};
  if (FAILED(file->Load(wlink.c_str(), STGM_READ))) return {};
  wchar_t path[MAX_PATH] = {};
  // The item list names the target in Unicode; the plain path field of a
  // link may hold only what the ANSI code page can say.
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(link->GetIDList(&items)) && items) {
    const bool ok = SHGetPathFromIDListW(items, path);
    CoTaskMemFree(items);
    if (ok) return Narrow(std::wstring(path));
  }
  if (link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK) return {};
  return Narrow(std::wstring(path));
}

bool RemoveFile(const std::string& path) {
  const std::wstring wpath = Widen(path);
  if (wpath.empty()) return false;
  if (DeleteFileW(wpath.c_str())) return true;
  const DWORD err = GetLastError();
  return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

bool RemoveShortcut(const std::string& shortcut_path) { return RemoveFile(shortcut_path); }

// The shell shows a shortcut with its target's icon.
std::string InstallIcon(const std::string& /*name*/, const std::vector<IconPixels>& /*images*/) { return {}; }

bool OpenWithDefaultApplication(const std::string& path, std::intptr_t owner) {
  const std::wstring wpath = Widen(path);
  if (wpath.empty()) return false;
  // The shell may hand the request to COM objects (its documented need).
  ComScope com;
  HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", wpath.c_str(), nullptr, nullptr,
                                   SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace qv::platform
