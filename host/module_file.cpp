#include "host/module_file.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "host/global_book.h"
#include "host/pe_header.h"

namespace {

std::string LastErrorText(DWORD code) {
  char buffer[512] = {};
  DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, buffer, sizeof buffer, nullptr);
  while (n > 0 && (buffer[n - 1] == '\n' || buffer[n - 1] == '\r' ||
                   buffer[n - 1] == ' '))
    buffer[--n] = 0;
  return "error " + std::to_string(code) +
         (n ? " (" + std::string(buffer) + ")" : std::string());
}

uint16_t ReadMachine(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return 0;
  uint8_t head[4096];
  size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return PeMachine(head, n);
}

std::string VersionWords(const uint16_t words[4]) {
  return std::to_string(words[0]) + "." + std::to_string(words[1]) + "." +
         std::to_string(words[2]) + "." + std::to_string(words[3]);
}

// Through the system's own version reader, so that the host sees what
// Windows shows in the file's properties.
ModuleVersion ReadVersion(const std::string &path) {
  ModuleVersion v;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0)
    return v;
  std::vector<uint8_t> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
    return v;
  void *found = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", &found, &length) ||
      length < sizeof(VS_FIXEDFILEINFO))
    return v;
  const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(found);
  if (fixed->dwSignature != 0xFEEF04BD)
    return v;
  v.present = true;
  const DWORD words[4] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                          fixed->dwProductVersionMS, fixed->dwProductVersionLS};
  for (int i = 0; i < 2; ++i) {
    v.file[2 * i] = HIWORD(words[i]);
    v.file[2 * i + 1] = LOWORD(words[i]);
    v.product[2 * i] = HIWORD(words[2 + i]);
    v.product[2 * i + 1] = LOWORD(words[2 + i]);
  }
  // The texts live in a block named by language and code page; a block
  // that the translation list does not name is one Windows never shows.
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &found,
                      &length) ||
      length < 4)
    return v;
  const auto *translation = static_cast<const WORD *>(found);
  char block[64];
  std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\",
                translation[0], translation[1]);
  for (const char *name : kVersionTextNames) {
    std::string query = std::string(block) + name;
    if (VerQueryValueA(data.data(), query.c_str(), &found, &length) &&
        length > 0)
      v.texts.emplace_back(name, static_cast<const char *>(found));
  }
  return v;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  auto *names = reinterpret_cast<std::vector<std::string> *>(param);
  if (IS_INTRESOURCE(name))
    names->push_back("#" + std::to_string(uintptr_t(name) & 0xFFFF));
  else
    names->push_back(name);
  return TRUE;
}

// The choice a host makes: the first valid filter list with a descriptor
// for its own architecture.
void ChooseList(ModuleFile *m) {
  const CodeArch arch = HostArch();
  std::string why;
  for (size_t i = 0; i < m->pipls.size(); ++i) {
    const PiplResource &r = m->pipls[i];
    if (!r.valid) {
      why = "property list " + r.resourceName + " is malformed: " + r.error;
      continue;
    }
    if (!r.info.hasKind || r.info.kind != FourCC('8', 'B', 'F', 'M')) {
      why = "property list " + r.resourceName + " is not a filter's";
      continue;
    }
    const std::string *entry = CodeEntryFor(r.info, arch);
    if (entry == nullptr) {
      why = std::string("property list ") + r.resourceName +
            " has no code descriptor for " + ArchName(arch) + " ('" +
            (arch == CodeArch::kX64 ? "8664" : "wx86") + "')";
      continue;
    }
    m->chosen = int(i);
    m->entryName = *entry;
    break;
  }
  if (m->pipls.empty())
    why = "the module has no property list (no PIPL resource)";
  if (m->chosen < 0) {
    m->refusal = why;
    return;
  }
  const uint16_t own = arch == CodeArch::kX64 ? kMachineX64 : kMachineX86;
  if (m->machine != own)
    m->refusal = std::string("the module's code is for ") +
                 MachineName(m->machine) + ", this host is " + ArchName(arch);
}

// The "AETE" resource of the id the list's 'hstm' gives, as a host
// finds it.
void ReadTerminology(HMODULE data, PiplResource *r) {
  HRSRC found = FindResourceA(
      data, MAKEINTRESOURCEA(uint16_t(r->info.terminologyId)), "AETE");
  HGLOBAL loaded = found ? LoadResource(data, found) : nullptr;
  const void *bytes = loaded ? LockResource(loaded) : nullptr;
  r->terminologyFound = bytes != nullptr;
  if (bytes)
    r->terminologyValid = ParseTerminology(
        static_cast<const uint8_t *>(bytes), SizeofResource(data, found),
        &r->terminology, &r->terminologyError);
}

std::string DescribeTerminologyOf(const PiplResource &r) {
  std::string out =
      "  terminology " + std::to_string(r.info.terminologyId) + ":";
  if (!r.terminologyFound)
    return out + " missing (no AETE resource of that id)\n";
  if (!r.terminologyValid)
    return out + " malformed: " + r.terminologyError + "\n";
  out += "\n" + DescribeTerminology(r.terminology, "    ");
  if (r.terminology.eventClass != r.info.termsClass ||
      r.terminology.eventId != r.info.termsEvent)
    out += "    note: the event differs from the one 'hstm' names\n";
  return out;
}

} // namespace

const char *const kVersionTextNames[8] = {
    "ProductName", "ProductVersion", "FileDescription",  "FileVersion",
    "CompanyName", "LegalCopyright", "OriginalFilename", "InternalName"};

CodeArch HostArch() {
  return sizeof(void *) == 8 ? CodeArch::kX64 : CodeArch::kX86;
}

const char *ArchName(CodeArch arch) {
  return arch == CodeArch::kX64 ? "x64" : "x86";
}

std::string ModuleKernelsText() {
  __builtin_cpu_init();
  const bool avx2 = __builtin_cpu_supports("avx2");
  // Only the 64-bit module has AVX-512 kernels.
  const bool avx512 =
      HostArch() == CodeArch::kX64 && __builtin_cpu_supports("avx512f") &&
      __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  const char *best = avx512 ? "AVX-512" : avx2 ? "AVX2" : "SSE2";
  const char *given = std::getenv("TAVORIN_KERNELS");
  if (given == nullptr)
    return std::string(best) + " (the processor's best)";
  std::string name(given);
  for (char &c : name)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  const bool known = name == "sse2" || name == "avx2" || name == "avx512";
  const bool held = name == "sse2" || (name == "avx2" && avx2) ||
                    (name == "avx512" && avx512);
  const std::string setting = "TAVORIN_KERNELS=" + std::string(given);
  if (held)
    return std::string(name == "sse2"   ? "SSE2"
                       : name == "avx2" ? "AVX2"
                                        : "AVX-512") +
           " (" + setting + ")";
  return std::string(best) + " (the processor's best: " + setting +
         (known ? " names kernels this module cannot run here)"
                : " names no kernels)");
}

bool ReadModuleFile(const std::string &path, ModuleFile *m,
                    std::string *error, PiplWalk walk) {
  *m = ModuleFile();
  m->path = path;
  m->machine = ReadMachine(path);
  m->version = ReadVersion(path);
  // As data, so that a module of either architecture can be read.
  HMODULE data =
      LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (data == nullptr) {
    *error = "cannot open " + path + ": " + LastErrorText(GetLastError());
    return false;
  }
  std::vector<std::string> names;
  EnumResourceNamesA(data, "PIPL", CollectName,
                     reinterpret_cast<LONG_PTR>(&names));
  for (const std::string &name : names) {
    PiplResource r;
    r.resourceName = name;
    LPCSTR id = name[0] == '#' ? MAKEINTRESOURCEA(std::atoi(name.c_str() + 1))
                               : name.c_str();
    HRSRC found = FindResourceA(data, id, "PIPL");
    HGLOBAL loaded = found ? LoadResource(data, found) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
      r.error = "cannot be loaded: " + LastErrorText(GetLastError());
    } else {
      r.valid = ParsePipl(static_cast<const uint8_t *>(bytes),
                          SizeofResource(data, found), &r.info, &r.error,
                          walk);
    }
    if (r.valid && r.info.hasTerms)
      ReadTerminology(data, &r);
    m->pipls.push_back(std::move(r));
  }
  FreeLibrary(data);
  ChooseList(m);
  return true;
}

bool LoadModuleCode(ModuleFile *m, std::string *error) {
  if (!m->refusal.empty()) {
    *error = "refused: " + m->refusal;
    return false;
  }
  // Altered search path: the module's own folder serves its dependencies.
  HMODULE library =
      LoadLibraryExA(m->path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) {
    *error = "cannot load " + m->path + ": " + LastErrorText(GetLastError());
    return false;
  }
  FARPROC entry = GetProcAddress(library, m->entryName.c_str());
  if (entry == nullptr) {
    *error = "the module exports no " + m->entryName;
    FreeLibrary(library);
    return false;
  }
  // The module's global memory is booked like the host's handles; a
  // module that imports nothing has none to book.
  std::string unwatched;
  WatchModuleGlobalMemory(library, &unwatched);
  m->library = library;
  m->entry =
      reinterpret_cast<PluginEntryProc>(reinterpret_cast<void (*)()>(entry));
  return true;
}

void UnloadModule(ModuleFile *m) {
  if (m->library)
    FreeLibrary(static_cast<HMODULE>(m->library));
  m->library = nullptr;
  m->entry = nullptr;
}

std::string DescribeModuleFile(const ModuleFile &m) {
  std::string out = "module: " + m.path + "\n";
  out += std::string("module machine: ") + MachineName(m.machine) + "\n";
  if (m.version.present) {
    out += "version: file " + VersionWords(m.version.file) + ", product " +
           VersionWords(m.version.product) + "\n";
    for (const auto &text : m.version.texts)
      out += "  " + text.first + ": " + text.second + "\n";
  } else {
    out += "version: none\n";
  }
  for (const PiplResource &r : m.pipls) {
    out += "pipl " + r.resourceName + ":\n";
    if (r.valid)
      out += DescribePipl(r.info, "  ");
    if (r.valid && r.info.hasTerms)
      out += DescribeTerminologyOf(r);
    else
      out += "  malformed: " + r.error + "\n";
  }
  if (m.refusal.empty())
    out += std::string("code: ") + ArchName(HostArch()) + " entry " +
           m.entryName + " in property list " +
           m.pipls[size_t(m.chosen)].resourceName + "\n";
  else
    out += "refused: " + m.refusal + "\n";
  return out;
}
