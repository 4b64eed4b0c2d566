// How a contract suite reports: one line per check, the same natively and in
// the Windows build (no test framework there).
#ifndef ORVANE_TESTS_CONTRACT_CONTRACT_LOG_H
#define ORVANE_TESTS_CONTRACT_CONTRACT_LOG_H

#include <cstdio>

namespace orvane {

class ContractLog {
 public:
  virtual ~ContractLog() = default;
  virtual void Pass(const char* group, const char* what) = 0;
  virtual void Fail(const char* group, const char* what, const char* detail) = 0;
};

class PrintingLog : public ContractLog {
 public:
  void Pass(const char* group, const char* what) override {
    std::printf("ok   %s: %s\n", group, what);
  }
  void Fail(const char* group, const char* what, const char* detail) override {
    std::printf("FAIL %s: %s (%s)\n", group, what, detail);
  }
};

}  // namespace orvane

#endif
