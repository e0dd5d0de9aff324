#include "ui/last_resort_report_win32.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "msg/last_resort_report.h"
#include "sys/code_location.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

// One report per process: a failure raised while another is being reported waits for the
// first report to end the process; one raised by the reporting itself ends it at once.
volatile LONG g_reporting = 0;
volatile DWORD g_reporting_thread = 0;

void EnterReport() {
  if (InterlockedExchange(&g_reporting, 1) == 0) {
    g_reporting_thread = GetCurrentThreadId();
    return;
  }
  if (g_reporting_thread == GetCurrentThreadId()) TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

[[noreturn]] void ShowReportAndExit(const FailureFacts& facts) {
  const CodeLocation location = LocateCode(facts.CodeAddress);
  const std::string text =
      LastResortReportText(facts.TypeName, location.ModuleName, location.Offset, facts.Message);
  MessageBoxW(nullptr, WideFromActiveCodePage(text).c_str(),
              WideFromActiveCodePage(LastResortReportCaption()).c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

FailureFacts FactsOfStructuredException(const EXCEPTION_RECORD& record) {
  FailureFacts facts;
  facts.CodeAddress = record.ExceptionAddress;
  char text[160];
  switch (record.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION: {
      const ULONG_PTR kind = record.NumberParameters >= 2 ? record.ExceptionInformation[0] : 0;
      const ULONG_PTR target = record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
      const char* access = kind == 1 ? "Write" : kind == 8 ? "Execution" : "Read";
      std::snprintf(
          text, sizeof text, "Access violation at address %08lX. %s of address %08lX",
          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(record.ExceptionAddress)), access,
          static_cast<unsigned long>(target));
      facts.TypeName = "EAccessViolation";
      break;
    }
    case EXCEPTION_STACK_OVERFLOW:
      facts.TypeName = "EStackOverflow";
      std::snprintf(text, sizeof text, "Stack overflow");
      break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      facts.TypeName = "EDivByZero";
      std::snprintf(text, sizeof text, "Division by zero");
      break;
    default:
      facts.TypeName = "EExternalException";
      std::snprintf(text, sizeof text, "External exception %08lX",
                    static_cast<unsigned long>(record.ExceptionCode));
      break;
  }
  facts.Message = text;
  return facts;
}

// The record of the structured exception being reported; the faulting thread may have no stack
// left, so the report is built and shown on a thread of its own.
EXCEPTION_RECORD g_structured_record;

DWORD WINAPI ReportStructuredException(void*) {
  g_reporting_thread = GetCurrentThreadId();
  ShowReportAndExit(FactsOfStructuredException(g_structured_record));
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  EnterReport();
  g_structured_record = *info->ExceptionRecord;
  HANDLE reporter = CreateThread(nullptr, 0, ReportStructuredException, nullptr, 0, nullptr);
  if (reporter != nullptr) WaitForSingleObject(reporter, INFINITE);
  // Without a reporting thread there is nothing left to try but the exit code.
  ExitProcess(1);
}

void OnTerminate() { ReportFailureAndExit(std::current_exception(), nullptr); }

}  // namespace

void InstallLastResortReport() {
  // No system error boxes either: no "insert a disk" question for a drive-relative script path
  // on an empty drive, no crash box of the system's.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);
}

void ReportFailureAndExit(const std::exception_ptr& failure, const void* fallback_address) {
  EnterReport();
  ShowReportAndExit(FactsOf(failure, fallback_address));
}

}  // namespace velmora
