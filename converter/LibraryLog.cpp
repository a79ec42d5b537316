#include "converter/LibraryLog.h"

#include <glib.h>

#include <atomic>
#include <string>

namespace library_log {
namespace {

std::atomic<Reporter*> gReporter{nullptr};

void Forward(const char* domain, const char* message) {
  if (Reporter* reporter = gReporter.load()) {
    std::string line = domain && *domain ? std::string(domain) + ": " : std::string("glib: ");
    line += message ? message : "";
    while (!line.empty() && line.back() == '\n') line.pop_back();
    reporter->Line(line);
  }
}

void LogHandler(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) { Forward(domain, message); }

GLogWriterOutput StructuredWriter(GLogLevelFlags, const GLogField* fields, gsize count, gpointer) {
  const char* domain = nullptr;
  const char* message = nullptr;
  for (gsize i = 0; i < count; ++i) {
    const std::string_view key = fields[i].key;
    // Only the texts: a length of -1 marks a zero-terminated string.
    if (fields[i].length != -1) continue;
    if (key == "GLIB_DOMAIN") domain = static_cast<const char*>(fields[i].value);
    if (key == "MESSAGE") message = static_cast<const char*>(fields[i].value);
  }
  Forward(domain, message);
  return G_LOG_WRITER_HANDLED;
}

void PrintErr(const gchar* text) { Forward(nullptr, text); }

}  // namespace

void Capture() {
  static const bool captured = [] {
    g_log_set_default_handler(LogHandler, nullptr);
    g_log_set_writer_func(StructuredWriter, nullptr, nullptr);
    g_set_printerr_handler(PrintErr);
    return true;
  }();
  (void)captured;
}

void ForwardTo(Reporter* reporter) { gReporter.store(reporter); }

}  // namespace library_log
