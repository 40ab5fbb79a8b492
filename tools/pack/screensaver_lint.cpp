#include "screensaver_lint.h"

#include <algorithm>
#include <array>

#include "base/text.h"

namespace lumipack {
namespace {

// DLLs in the system folder of every Windows the installer supports (7 to
// 11), as programs import them. Runtimes that only some machines have (the
// Visual C++ and DirectX redistributables, vendor libraries) are not here:
// an installation that copies only the .scr cannot bring them along.
constexpr std::string_view kSystemDlls[] = {
    "advapi32.dll",  "avicap32.dll",    "avifil32.dll",     "avrt.dll",        "bcrypt.dll",
    "cabinet.dll",   "cfgmgr32.dll",    "comctl32.dll",     "comdlg32.dll",    "credui.dll",
    "crypt32.dll",   "d2d1.dll",        "d3d10.dll",        "d3d10_1.dll",     "d3d11.dll",
    "d3d12.dll",     "d3d8.dll",        "d3d9.dll",         "d3dcompiler_47.dll",
    "dbghelp.dll",   "dcomp.dll",       "ddraw.dll",        "dinput.dll",      "dinput8.dll",
    "dnsapi.dll",    "dsound.dll",       "dwmapi.dll",       "dwrite.dll",      "dxgi.dll",
    "dxva2.dll",     "evr.dll",         "gdi32.dll",        "gdiplus.dll",     "glu32.dll",
    "hid.dll",       "hhctrl.ocx",      "imagehlp.dll",     "imm32.dll",       "iphlpapi.dll",
    "kernel32.dll",  "kernelbase.dll",  "ksuser.dll",       "mf.dll",          "mfc42.dll",
    "mfc42u.dll",    "mfplat.dll",      "mfreadwrite.dll",  "mmdevapi.dll",    "mpr.dll",
    "msacm32.dll",   "mscms.dll",       "mscoree.dll",      "msftedit.dll",    "msi.dll",
    "msimg32.dll",   "msvcp60.dll",     "msvcrt.dll",       "msvfw32.dll",     "mswsock.dll",
    "ncrypt.dll",    "netapi32.dll",    "normaliz.dll",     "ntdll.dll",       "odbc32.dll",
    "ole32.dll",     "oleacc.dll",      "oleaut32.dll",     "oledlg.dll",      "olepro32.dll",
    "opengl32.dll",  "powrprof.dll",    "propsys.dll",      "psapi.dll",       "quartz.dll",
    "riched20.dll",  "riched32.dll",    "rpcrt4.dll",       "secur32.dll",     "sensapi.dll",
    "setupapi.dll",  "shcore.dll",      "shell32.dll",      "shfolder.dll",    "shlwapi.dll",
    "ucrtbase.dll",  "urlmon.dll",      "user32.dll",       "userenv.dll",     "usp10.dll",
    "uxtheme.dll",   "version.dll",     "wevtapi.dll",      "windowscodecs.dll",
    "winhttp.dll",   "wininet.dll",     "winmm.dll",        "winscard.dll",    "winspool.drv",
    "wintrust.dll",  "winusb.dll",      "wldap32.dll",      "ws2_32.dll",      "wsock32.dll",
    "wtsapi32.dll",  "xaudio2_8.dll",   "xaudio2_9.dll",    "xinput1_4.dll",   "xinput9_1_0.dll",
};

// Prefixes of API set names: contracts the loader maps to system DLLs.
constexpr std::string_view kApiSetPrefixes[] = {"api-ms-win-", "ext-ms-"};

// What to do about a DLL of a known runtime that Windows does not ship,
// by the start of its name.
struct RuntimeAdvice {
  std::string_view prefix;
  std::string_view advice;
};
constexpr std::string_view kMsvcAdvice =
    "it is part of the Visual C++ runtime: build with the static runtime (/MT)";
constexpr std::string_view kGccAdvice = "it is part of the GCC runtime: link with -static";
constexpr std::string_view kDirectXAdvice =
    "it is part of the DirectX redistributable: use the version Windows ships "
    "(d3dcompiler_47.dll, xinput1_4.dll, xaudio2_9.dll) or link statically";
constexpr RuntimeAdvice kRuntimes[] = {
    {"msvcp", kMsvcAdvice},         {"msvcr", kMsvcAdvice},       {"vcruntime", kMsvcAdvice},
    {"concrt", kMsvcAdvice},        {"vcomp", kMsvcAdvice},       {"vccorlib", kMsvcAdvice},
    {"mfc", kMsvcAdvice},           {"atl1", kMsvcAdvice},        {"libgcc_s", kGccAdvice},
    {"libstdc++", kGccAdvice},      {"libwinpthread", kGccAdvice}, {"libgomp", kGccAdvice},
    {"libssp", kGccAdvice},         {"d3dx", kDirectXAdvice},     {"d3dcompiler_", kDirectXAdvice},
    {"xinput1_", kDirectXAdvice},   {"xaudio2_", kDirectXAdvice}, {"x3daudio", kDirectXAdvice},
    {"xapofx", kDirectXAdvice},
};

std::string Normalized(std::string_view dll) {
  std::string name = lumiset::AsciiLower(dll);
  // The loader adds ".dll" to a name without an extension.
  if (name.find('.') == std::string::npos) name += ".dll";
  return name;
}

std::string_view AdviceFor(const std::string& normalized) {
  for (const RuntimeAdvice& r : kRuntimes) {
    if (normalized.starts_with(r.prefix)) return r.advice;
  }
  return "link that code statically";
}

std::string_view SubsystemName(uint16_t subsystem) {
  switch (subsystem) {
    case 0: return "unknown";
    case 1: return "native";
    case 5: return "OS/2 console";
    case 7: return "POSIX console";
    case 8: return "native Windows 9x driver";
    case 9: return "Windows CE GUI";
    case 10: return "EFI application";
    case 11: return "EFI boot service driver";
    case 12: return "EFI runtime driver";
    case 13: return "EFI ROM";
    case 14: return "Xbox";
    case 16: return "Windows boot application";
    default: return "not one Windows knows";
  }
}

std::string BuildForGui() { return "build it for the GUI subsystem (-mwindows, /SUBSYSTEM:WINDOWS)"; }

std::optional<LintFinding> SubsystemFinding(uint16_t subsystem) {
  if (subsystem == kSubsystemWindowsGui) return std::nullopt;
  if (subsystem == kSubsystemWindowsConsole) {
    return LintFinding{"subsystem",
                       "is a console program (subsystem 3): Windows opens a console window "
                       "beside it each time it starts; " + BuildForGui()};
  }
  return LintFinding{"subsystem", "has subsystem " + std::to_string(subsystem) + " (" +
                                      std::string(SubsystemName(subsystem)) +
                                      "), not the Windows GUI subsystem (2), so Windows does not "
                                      "start it as a screensaver; " + BuildForGui()};
}

LintFinding DllFinding(const std::string& dll, bool delay_loaded) {
  const std::string normalized = Normalized(dll);
  const std::string what = delay_loaded ? "loads " + dll + " when it first needs it"
                                        : "imports " + dll;
  const std::string fails = delay_loaded ? "fails at that point" : "does not start";
  return LintFinding{"dll", what + ", which Windows does not ship: the installer copies only "
                                "the .scr into the system folder, so the screensaver " + fails +
                                " wherever " + dll + " is missing; " +
                                std::string(AdviceFor(normalized))};
}

// ".NET Framework 4" and what it means for the user, from the metadata's
// version string.
LintFinding DotNetFinding(const std::string& version) {
  const std::string start =
      "is a .NET program (metadata version " + (version.empty() ? "unreadable" : version) + "): ";
  std::string rest;
  if (version.starts_with("v4.")) {
    rest = "it needs .NET Framework 4, which Windows 8 and later include and Windows 7 must "
           "install first; the installer does not install it";
  } else if (version.starts_with("v2.")) {
    rest = "it needs .NET Framework 3.5 (runtime 2.0), which Windows 8 and later include only as "
           "an optional feature that is off by default; target .NET Framework 4 instead";
  } else if (version.starts_with("v1.")) {
    rest = "it needs .NET Framework 1.x, which current Windows cannot install; target .NET "
           "Framework 4 instead";
  } else {
    rest = "it needs a .NET runtime, which the installer does not install";
  }
  return LintFinding{"dotnet", start + rest};
}

std::optional<LintFinding> MachineFinding(const PeHeaders& h, std::optional<Arch> stub_arch) {
  if (!stub_arch) return std::nullopt;
  lumiset::PeFacts facts;
  facts.machine = h.machine;
  facts.is_64bit = h.is_64bit;
  const std::optional<Arch> arch = ArchOf(facts);
  if (arch == stub_arch) return std::nullopt;
  const std::string start = "is a " + PeKindName(facts) + ", but the stub is a " +
                            std::string(ArchDescription(*stub_arch)) + " program, ";
  if (arch == Arch::kX64) {
    return LintFinding{"machine", start + "which also installs it on 32-bit Windows, where it "
                                          "cannot run; use the 64-bit stub (--arch x64)"};
  }
  if (arch == Arch::kX86) {
    return LintFinding{"machine", start + "which installs it on 64-bit Windows only; use the "
                                          "32-bit stub (--arch x86), which installs it on every "
                                          "Windows"};
  }
  return LintFinding{"machine", start + "whose Windows may not run it; pack it with a stub "
                                        "of its own architecture"};
}

}  // namespace

bool IsSystemDll(std::string_view dll) {
  const std::string name = Normalized(dll);
  for (std::string_view prefix : kApiSetPrefixes) {
    if (name.starts_with(prefix)) return true;
  }
  return std::find(std::begin(kSystemDlls), std::end(kSystemDlls), name) != std::end(kSystemDlls);
}

std::vector<LintFinding> LintScreensaver(const PeDependencies& deps,
                                         std::optional<Arch> stub_arch) {
  std::vector<LintFinding> findings;
  if (std::optional<LintFinding> f = MachineFinding(deps.headers, stub_arch)) {
    findings.push_back(std::move(*f));
  }
  if (std::optional<LintFinding> f = SubsystemFinding(deps.headers.subsystem)) {
    findings.push_back(std::move(*f));
  }
  if (deps.has_clr) findings.push_back(DotNetFinding(deps.clr_version));
  for (const auto& [names, delay_loaded] :
       {std::pair{&deps.imports, false}, std::pair{&deps.delay_imports, true}}) {
    for (const std::string& dll : *names) {
      if (!IsSystemDll(dll)) findings.push_back(DllFinding(dll, delay_loaded));
    }
  }
  if (!deps.problem.empty()) {
    findings.push_back({"tables", "its DLL tables cannot all be read (" + deps.problem +
                                      "), so the DLLs it needs are not all checked"});
  }
  return findings;
}

std::vector<LintFinding> LintScreensaverBytes(RangeReader& reader, std::optional<Arch> stub_arch) {
  std::optional<PeDependencies> deps = ReadPeDependencies(reader);
  if (!deps) {
    return {{"tables", "its headers cannot be read, so what it needs to start is not checked"}};
  }
  return LintScreensaver(*deps, stub_arch);
}

void WarnAboutScreensaver(lumiset::ReadableFile& file, const std::string& name, const Place& place,
                          Arch stub_arch, Console& console) {
  FileRangeReader reader(file);
  for (const LintFinding& finding : LintScreensaverBytes(reader, stub_arch)) {
    console.Warn(name + ": " + finding.message, place);
  }
}

}  // namespace lumipack
