// SPDX-License-Identifier: GPL-3.0-or-later
// A PrivilegedRunner that starts nothing: it records every argument vector it is given and
// answers the password prompt and each run as the test scripts it.
#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/auth/privileged_runner.h"

namespace reset_test {

struct RunnerScript {
  std::deque<auth::Status> authorizeAnswers;  // empty: kSuccess
  std::deque<auth::Status> runAnswers;        // empty: kSuccess
  std::string output;                         // what a started tool writes

  // What happened.
  int prompts = 0;
  int deauthorizations = 0;
  bool authorized = false;
  std::vector<std::vector<std::string>> runs;  // tool, then its arguments
  std::vector<size_t> readSizes;               // sizes asked of the output stream
};

class FakeOutput : public auth::OutputStream {
 public:
  explicit FakeOutput(std::shared_ptr<RunnerScript> script) : mScript(std::move(script)) {}
  long read(char* into, size_t size) override {
    mScript->readSizes.push_back(size);
    const size_t n = std::min(size, mScript->output.size() - mAt);
    std::copy_n(mScript->output.data() + mAt, n, into);
    mAt += n;
    return static_cast<long>(n);
  }

 private:
  std::shared_ptr<RunnerScript> mScript;
  size_t mAt = 0;
};

class FakeRunner : public auth::PrivilegedRunner {
 public:
  explicit FakeRunner(std::shared_ptr<RunnerScript> script) : mScript(std::move(script)) {}
  bool isAuthorized() override { return mScript->authorized; }
  auth::Status authorize() override {
    if (mScript->authorized) return auth::kSuccess;
    ++mScript->prompts;
    auth::Status answer = auth::kSuccess;
    if (!mScript->authorizeAnswers.empty()) {
      answer = mScript->authorizeAnswers.front();
      mScript->authorizeAnswers.pop_front();
    }
    mScript->authorized = answer == auth::kSuccess;
    return answer;
  }
  void deauthorize() override {
    ++mScript->deauthorizations;
    mScript->authorized = false;
  }
  auth::Status run(const std::string& tool, const std::vector<std::string>& arguments,
                   std::unique_ptr<auth::OutputStream>* output) override {
    if (!mScript->authorized) return auth::kInvalidRef;
    std::vector<std::string> argv = {tool};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    mScript->runs.push_back(argv);
    auth::Status answer = auth::kSuccess;
    if (!mScript->runAnswers.empty()) {
      answer = mScript->runAnswers.front();
      mScript->runAnswers.pop_front();
    }
    if (answer == auth::kSuccess && output) *output = std::make_unique<FakeOutput>(mScript);
    return answer;
  }

 private:
  std::shared_ptr<RunnerScript> mScript;
};

}  // namespace reset_test
