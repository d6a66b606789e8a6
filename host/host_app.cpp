#include "host/host_app.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "host/dialog_capture.h"
#include "host/dialog_host.h"
#include "host/global_book.h"
#include "host/image_io.h"
#include "host/module_file.h"
#include "host/report.h"

namespace {

FILE *g_crashOut = nullptr;

void Print(FILE *out, const std::string &text) {
  std::fputs(text.c_str(), out);
  std::fflush(out);
}

void PrintDialogs(FILE *out) {
  for (const CapturedDialog &d : TakeCapturedDialogs())
    Print(out, DescribeCapturedDialog(d) + "\n");
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS *info) {
  FILE *out = g_crashOut ? g_crashOut : stdout;
  std::fprintf(out, "crash: exception 0x%08lX at %p\n",
               static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
               info->ExceptionRecord->ExceptionAddress);
  std::fflush(out);
  TerminateProcess(GetCurrentProcess(), kExitCrashed);
  return EXCEPTION_EXECUTE_HANDLER;
}

bool ReadFileBytes(const std::string &path, std::vector<uint8_t> *bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  bytes->assign(std::istreambuf_iterator<char>(in),
                std::istreambuf_iterator<char>());
  return true;
}

bool WriteFileBytes(const std::string &path,
                    const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            std::streamsize(bytes.size()));
  return bool(out);
}

bool RectInside(const Rect &r, const HostImage &image) {
  return r.top >= 0 && r.left >= 0 && r.bottom <= image.height &&
         r.right <= image.width && r.top < r.bottom && r.left < r.right;
}

bool LoadDocument(const CliOptions &o, HostImage *image, std::string *error) {
  if (o.inPath.empty()) {
    *image = MakeTestPattern(o.width, o.height, o.planes ? o.planes : 3,
                             o.depth ? o.depth : 8);
    return true;
  }
  if (!ReadImageFile(o.inPath, image, error))
    return false;
  if (image->width > 30000 || image->height > 30000) {
    *error = "the image is larger than a host rectangle can address";
    return false;
  }
  if (o.depth)
    *image = WithDepth(*image, o.depth);
  if (o.planes)
    *image = WithPlanes(*image, o.planes);
  return true;
}

// The last descriptor an invocation recorded, as text; none recorded
// writes no file, so that a test sees a cancelled run left nothing.
int WriteRecordedDescriptor(const HostSession &session, const std::string &path,
                            FILE *out, int exitCode) {
  for (size_t i = session.invocations.size(); i-- > 0;) {
    const InvocationRecord &inv = session.invocations[i];
    if (!inv.recorded)
      continue;
    const std::string text = DescriptorText(inv.record);
    if (!WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()))) {
      Print(out, "error: cannot write " + path + "\n");
      return kExitFileError;
    }
    Print(out, "descriptor: wrote " + path + "\n");
    return exitCode;
  }
  Print(out, "descriptor: none recorded, " + path + " not written\n");
  return exitCode;
}

} // namespace

void InstallCrashReport(FILE *out) {
  g_crashOut = out;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
               SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(ReportCrash);
}

int RunHostCommand(const CliOptions &o, FILE *out) {
  ModuleFile module;
  std::string error;
  if (!ReadModuleFile(o.modulePath, &module, &error, o.piplWalk)) {
    Print(out, "refused: " + error + "\n");
    return kExitRefused;
  }
  Print(out, DescribeModuleFile(module));
  if (o.piplOnly) {
    for (const PiplResource &r : module.pipls)
      if (r.valid)
        return kExitOk;
    return kExitRefused;
  }
  if (!module.refusal.empty())
    return kExitRefused; // the description said why
  if (!LoadModuleCode(&module, &error)) {
    Print(out, "refused: " + error + "\n");
    return kExitRefused;
  }

  HostImage document;
  if (!LoadDocument(o, &document, &error)) {
    Print(out, "error: " + error + "\n");
    UnloadModule(&module);
    return kExitFileError;
  }
  if (o.config.hasFilterRect && !RectInside(o.config.filterRect, document)) {
    Print(out, "error: --rect " + RectText(o.config.filterRect) +
                   " is not inside the image\n");
    UnloadModule(&module);
    return kExitUsage;
  }

  if (!SetDialogLanguage(o.language)) {
    Print(out, "error: --language: no locale is called " + o.language + "\n");
    UnloadModule(&module);
    return kExitUsage;
  }

  // COM on the host's thread, as an editor's user-interface thread has it.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int exitCode = kExitOk;
  {
    HostSession session;
    HostConfig config = o.config;
    SetUpDialogHost(o, &config);
    InitSession(&session, config, module.entry, document);
    AttachGlobalBook(&session);
    SetSessionPipl(&session, module.pipls[size_t(module.chosen)].info);
    Print(out, std::string("host: ") + ArchName(HostArch()) + "\n");
    Print(out, "kernels: " + ModuleKernelsText() + "\n");
    Print(out, DescribeHostSetup(session));
    if (!o.loadBlock.empty()) {
      std::vector<uint8_t> block;
      if (!ReadFileBytes(o.loadBlock, &block)) {
        Print(out, "error: cannot read " + o.loadBlock + "\n");
        exitCode = kExitFileError;
      } else if (!LoadParameterBlock(&session, block, &error)) {
        Print(out, "error: " + error + "\n");
        exitCode = kExitFileError;
      } else {
        Print(out, "parameters: loaded " + std::to_string(block.size()) +
                       " bytes from " + o.loadBlock + "\n");
      }
    }
    if (exitCode == kExitOk && !o.descriptorIn.empty()) {
      std::vector<uint8_t> bytes;
      Descriptor descriptor;
      if (!ReadFileBytes(o.descriptorIn, &bytes)) {
        Print(out, "error: cannot read " + o.descriptorIn + "\n");
        exitCode = kExitFileError;
      } else if (ParseDescriptorText(std::string(bytes.begin(), bytes.end()),
                                     &descriptor, &error) != 0) {
        Print(out, "error: " + o.descriptorIn + ", " + error + "\n");
        exitCode = kExitFileError;
      } else {
        SetPlaybackDescriptor(&session, descriptor);
        Print(out, "descriptor: " + std::to_string(descriptor.items.size()) +
                       " keys from " + o.descriptorIn + "\n");
      }
    }
    if (exitCode == kExitOk) {
      if (o.unattended && !BeginDialogCapture(o.dialogAnswer))
        Print(out, "note: cannot watch for dialogs\n");
      if (!StartDialogScript(o, module.library, &error))
        Print(out, "error: " + error + "\n");
      if (o.about) {
        RunAbout(&session);
        Print(out, DescribeInvocation(session, session.invocations.size() - 1,
                                      o.timing, false));
        PrintDialogs(out);
      }
      if (o.run) {
        RunInvocation(&session, InvocationKind::kFromMenu);
        Print(out, DescribeInvocation(session, session.invocations.size() - 1,
                                      o.timing, o.logRequests));
        PrintDialogs(out);
      }
      if (o.repeat) {
        RunInvocation(&session, InvocationKind::kRepeat);
        Print(out, DescribeInvocation(session, session.invocations.size() - 1,
                                      o.timing, o.logRequests));
        PrintDialogs(out);
      }
      if (!o.scriptPath.empty())
        FinishDialogScript(out);
      EndDialogCapture();
      if (!o.saveBlock.empty()) {
        std::vector<uint8_t> block;
        if (!ReadParameterBlock(&session, &block, &error)) {
          Print(out, "error: cannot save the block: " + error + "\n");
          exitCode = kExitFileError;
        } else if (!WriteFileBytes(o.saveBlock, block)) {
          Print(out, "error: cannot write " + o.saveBlock + "\n");
          exitCode = kExitFileError;
        } else {
          Print(out, "parameters: saved " + std::to_string(block.size()) +
                         " bytes to " + o.saveBlock + "\n");
        }
      }
      if (!o.descriptorOut.empty())
        exitCode =
            WriteRecordedDescriptor(session, o.descriptorOut, out, exitCode);
      if (!o.outPath.empty()) {
        if (WriteImageFile(o.outPath, session.document, &error)) {
          Print(out, "wrote: " + o.outPath + "\n");
        } else {
          Print(out, "error: " + error + "\n");
          exitCode = kExitFileError;
        }
      }
      if (!o.comparePath.empty()) {
        const int32_t gap = 16;
        if (WriteImageFile(o.comparePath,
                           SideBySide(document, session.document, gap),
                           &error)) {
          Print(out, "wrote: " + o.comparePath + "\n");
        } else {
          Print(out, "error: " + error + "\n");
          exitCode = kExitFileError;
        }
      }
    }
    Print(out, DescribeHandles(session));
    Print(out, DescribeGlobalBook());
    EndSession(&session);
    Print(out, DescribeCallbacks(session));
    Print(out, DescribeFailures(session));
    size_t faults = SessionFailures(session).size();
    if (faults != 0 && exitCode == kExitOk)
      exitCode = kExitFaults;
    Print(out, faults == 0 ? std::string("status: ok\n")
                           : "status: FAILED, " + std::to_string(faults) +
                                 " fault(s)\n");
  }
  if (SUCCEEDED(com))
    CoUninitialize();
  UnloadModule(&module);
  return exitCode;
}
