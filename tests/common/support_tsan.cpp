// Qt itself is not built with ThreadSanitizer, so the sanitizer cannot see
// the synchronisation inside Qt Test's watchdog thread and reports its
// shutdown as a race. Only those two Qt-internal places are silenced; every
// race in our code is still reported. Unused in other builds.
extern "C" const char* __tsan_default_suppressions() {
  return "race:QWaitCondition::~QWaitCondition\n"
         "race:QTest::qRun\n";
}

// QProcess forks a threaded test to start hlx-sim and the child only calls
// exec; without this the sanitizer ends such a child at once.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
