// SPDX-License-Identifier: GPL-3.0-or-later
// KRAuthentication over a recording runner: argument vectors, the password asked once, the
// delegate's callbacks, the output read in 1024-byte chunks; and the privileged helper's pipe
// protocol with the real helper program when this test runs as root (it only starts echo).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/auth/helper_protocol.h"
#include "platform/auth/helper_runner.h"
#include "reset/fake_runner.h"
#include "reset/kr_authentication.h"

using namespace reset;
using namespace reset_test;

namespace {

struct Counts : KRAuthenticationDelegate {
  std::vector<std::string> calls;
  void authenticationDidAuthorize(KRAuthentication&) override { calls.push_back("authorize"); }
  void authenticationDidDeauthorize(KRAuthentication&) override { calls.push_back("deauthorize"); }
  void authenticationDidExecute(KRAuthentication&) override { calls.push_back("execute"); }
  void authenticationFailedExecute(KRAuthentication&) override { calls.push_back("failed"); }
};

std::vector<std::string> numbered(int n) {
  std::vector<std::string> arguments;
  for (int i = 1; i <= n; ++i) arguments.push_back("arg " + std::to_string(i));
  return arguments;
}

}  // namespace

TEST(KRAuthentication, ArgumentVectorsRightsAndCallbacks) {
  auto script = std::make_shared<RunnerScript>();
  KRAuthentication authentication(std::make_unique<FakeRunner>(script));
  Counts delegate;
  authentication.setDelegate(&delegate);
  EXPECT_FALSE(authentication.isAuthenticated("/bin/tool"));
  EXPECT_EQ(script->prompts, 0) << "isAuthenticated never asks";

  const std::vector<std::string> nineteen = numbered(19);
  const std::vector<std::string> empty;
  EXPECT_TRUE(authentication.executeCommand("/bin/tool", &nineteen));
  EXPECT_TRUE(authentication.executeCommand("/bin/tool", nullptr));
  EXPECT_TRUE(authentication.executeCommand("/bin/tool", &empty));
  std::vector<std::string> expected = {"/bin/tool"};
  expected.insert(expected.end(), nineteen.begin(), nineteen.end());
  ASSERT_EQ(script->runs.size(), 3u);
  EXPECT_EQ(script->runs[0], expected) << "each argument whole, blanks and all";
  EXPECT_EQ(script->runs[1], std::vector<std::string>{"/bin/tool"});
  EXPECT_EQ(script->runs[2], std::vector<std::string>{"/bin/tool"});
  EXPECT_EQ(script->prompts, 1) << "rights are kept for the run";

  // Twenty arguments would be cut short: the command is refused instead.
  const std::vector<std::string> twenty = numbered(20);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(authentication.executeCommand("/bin/tool", &twenty));
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(script->runs.size(), 3u);
  EXPECT_NE(log.find("Error -60004 in AuthorizationExecuteWithPrivileges\n"), std::string::npos);

  // A tool that cannot be started.
  script->runAnswers = {auth::kToolExecuteFailure};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(authentication.executeCommand("/bin/missing", nullptr));
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "Error -60031 in AuthorizationExecuteWithPrivileges\n"),
            std::string::npos);

  // Giving the rights up: the next command asks again, and a refusal runs nothing.
  authentication.deauthenticate();
  EXPECT_EQ(script->deauthorizations, 1);
  script->authorizeAnswers = {auth::kDenied};
  EXPECT_FALSE(authentication.executeCommand("/bin/tool", nullptr));
  EXPECT_EQ(script->prompts, 2);
  EXPECT_EQ(script->runs.size(), 4u);

  EXPECT_EQ(delegate.calls, (std::vector<std::string>{"authorize", "execute", "execute", "execute",
                                                      "failed", "failed", "deauthorize"}));
  authentication.setDelegate(nullptr);
}

TEST(KRAuthentication, SyncedReadsTheOutputInChunksOf1024Bytes) {
  auto script = std::make_shared<RunnerScript>();
  for (int i = 0; i < 2500; ++i) script->output += static_cast<char>('a' + i % 26);
  KRAuthentication authentication(std::make_unique<FakeRunner>(script));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(authentication.executeCommandSynced("/bin/tool", nullptr));
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(script->readSizes, (std::vector<size_t>{1024, 1024, 1024, 1024}));
  const std::string expected = "Reading pipe\n" + script->output.substr(0, 1024) + "\n" +
                               script->output.substr(1024, 1024) + "\n" +
                               script->output.substr(2048) + "\n";
  EXPECT_EQ(log, expected);

  // Not synced: no output is asked for.
  script->readSizes.clear();
  testing::internal::CaptureStderr();
  EXPECT_TRUE(authentication.executeCommand("/bin/tool", nullptr));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(script->readSizes.empty());
}

TEST(HelperProtocol, RequestsRoundTripAndMalformedOnesAreRefused) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  auth::RunRequest sent{auth::kCaptureOutput, {"/bin/echo", "two words", "", "x"}};
  ASSERT_TRUE(auth::writeRequest(fds[1], sent));
  auth::RunRequest got;
  ASSERT_TRUE(auth::readRequest(fds[0], &got));
  EXPECT_EQ(got.flags, sent.flags);
  EXPECT_EQ(got.argv, sent.argv);

  for (const auth::RunRequest& bad :
       {auth::RunRequest{0, {}}, auth::RunRequest{0, {"echo"}},
        auth::RunRequest{0, {"/bin/echo", std::string("a\0b", 3)}},
        auth::RunRequest{0, std::vector<std::string>(21, "/bin/echo")},
        auth::RunRequest{0, {"/bin/echo", std::string(5000, 'x')}}}) {
    EXPECT_FALSE(auth::isValidRequest(bad));
    EXPECT_FALSE(auth::writeRequest(fds[1], bad));
  }
  // A hostile length on the wire ends the conversation.
  const uint32_t hostile[] = {auth::kRunRequest, 0, 2, 0x7fffffff};
  ASSERT_TRUE(auth::writeAll(fds[1], hostile, sizeof hostile));
  EXPECT_FALSE(auth::readRequest(fds[0], &got));
  // So does a request cut short.
  const uint32_t truncated[] = {auth::kRunRequest, 0, 2, 9};
  ASSERT_TRUE(auth::writeAll(fds[1], truncated, sizeof truncated));
  close(fds[1]);
  EXPECT_FALSE(auth::readRequest(fds[0], &got));
  close(fds[0]);
}

// The helper itself, started directly (as pkexec or sudo would start it) when the test runs as
// root: it answers ready, relays a captured tool's output, and reports a tool that cannot start.
TEST(HelperProtocol, TheHelperStartsToolsAndRelaysTheirOutput) {
  if (geteuid() != 0) GTEST_SKIP() << "the helper runs only as root";
  const std::string helper = std::string(TARNWICK_BUILD_DIR) + "/reset/pluginreset-helper";
  ASSERT_EQ(access(helper.c_str(), X_OK), 0) << helper;
  int in[2], out[2];
  ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  char* argv[] = {const_cast<char*>(helper.c_str()), nullptr};
  char* envp[] = {nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);

  char ready[4];
  ASSERT_TRUE(auth::readAll(out[0], ready, 4));
  EXPECT_EQ(std::string(ready, 4), "TKOK");
  ASSERT_TRUE(auth::writeRequest(in[1], {auth::kCaptureOutput, {"/bin/echo", "a b", "c"}}));
  int32_t status = -1;
  ASSERT_TRUE(auth::readAll(out[0], &status, sizeof status));
  EXPECT_EQ(status, 0);
  std::string output;
  for (uint32_t length = 1; length != 0;) {
    ASSERT_TRUE(auth::readU32(out[0], &length));
    std::string frame(length, '\0');
    ASSERT_TRUE(auth::readAll(out[0], frame.data(), length));
    output += frame;
  }
  EXPECT_EQ(output, "a b c\n");

  ASSERT_TRUE(auth::writeRequest(in[1], {0, {"/nonexistent/tool"}}));
  ASSERT_TRUE(auth::readAll(out[0], &status, sizeof status));
  EXPECT_EQ(status, auth::kToolExecuteFailure);

  close(in[1]);  // the helper ends with its request pipe
  int exitStatus = 0;
  ASSERT_EQ(waitpid(pid, &exitStatus, 0), pid);
  EXPECT_TRUE(WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0);
  close(out[0]);
}

// The system runner with stand-ins for pkexec and sudo (scripts that start the real helper
// directly, as root): which front end is tried, what the prompt gets, rights held for the run.
TEST(HelperRunner, PkexecFirstSudoWithOurPromptWhenNoAgentAnswers) {
  if (geteuid() != 0) GTEST_SKIP() << "the helper runs only as root";
  const std::string helper = std::string(TARNWICK_BUILD_DIR) + "/reset/pluginreset-helper";
  char pattern[] = "/tmp/tarnwick-runner-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  auto script = [&](const std::string& name, const std::string& body) {
    const std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "w");
    fprintf(f, "#!/bin/sh\necho \"$0 $*\" >> %s/calls\n%s\n", dir.c_str(), body.c_str());
    fclose(f);
    chmod(path.c_str(), 0755);
    return path;
  };
  const std::string pkexecOk =
      script("pkexec-ok", "[ \"$1\" = --disable-internal-agent ] && exec \"$2\"");
  const std::string pkexecNoAgent = script("pkexec-no-agent",
                                           "echo 'Error executing command as another user: No "
                                           "authentication agent found.' >&2; exit 127");
  const std::string pkexecDismissed = script("pkexec-dismissed", "exit 126");
  const std::string sudo =
      script("sudo", "echo \"askpass $SUDO_ASKPASS\" >> " + dir +
                         "/calls; [ \"$1\" = -A ] && [ \"$4\" = -- ] && exec \"$5\"");
  const std::string askpass = script("askpass", "exit 1");
  const std::string missing = dir + "/missing";
  auto calls = [&] {
    std::string text;
    if (FILE* f = fopen((dir + "/calls").c_str(), "r")) {
      char buffer[4096];
      size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      fclose(f);
    }
    unlink((dir + "/calls").c_str());
    return text;
  };
  setenv("DISPLAY", ":97", 1);

  struct Case {
    const char* name;
    std::string pkexec;
    bool display;
    auth::Status expected;
    std::string expectedCalls;
  };
  const std::vector<Case> cases = {
      {"pkexec answers", pkexecOk, true, auth::kSuccess,
       pkexecOk + " --disable-internal-agent " + helper + "\n"},
      {"no agent: sudo with our prompt", pkexecNoAgent, true, auth::kSuccess,
       pkexecNoAgent + " --disable-internal-agent " + helper + "\n" + sudo +
           " -A -p Password for %u, to reset the Vexaphon plug-ins: -- " + helper + "\naskpass " +
           askpass + "\n"},
      {"prompt dismissed", pkexecDismissed, true, auth::kCanceled,
       pkexecDismissed + " --disable-internal-agent " + helper + "\n"},
      {"no pkexec and no display", missing, false, auth::kInteractionNotAllowed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.display) {
      setenv("DISPLAY", ":97", 1);
    } else {
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
    }
    auto runner = std::make_unique<auth::HelperRunner>(helper, askpass,
                                                       auth::HelperFrontEnds{c.pkexec, sudo});
    auth::HelperRunner* raw = runner.get();
    KRAuthentication authentication(std::move(runner));
    const bool started = authentication.authenticate("/bin/echo");
    EXPECT_EQ(started, c.expected == auth::kSuccess);
    EXPECT_EQ(calls(), c.expectedCalls);
    if (!started) {
      EXPECT_EQ(raw->authorize(), c.expected);
      calls();
      continue;
    }
    // Two commands on the rights obtained once; the second reads the tool's output.
    const std::vector<std::string> words = {"two words", "x"};
    EXPECT_TRUE(authentication.executeCommand("/bin/true", nullptr));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(authentication.executeCommandSynced("/bin/echo", &words));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Reading pipe\ntwo words x\n\n");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(authentication.executeCommand("/nonexistent/tool", nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error -60031 in AuthorizationExecuteWithPrivileges\n");
    EXPECT_EQ(calls(), "") << "nothing asked again";
    authentication.deauthenticate();
    EXPECT_FALSE(raw->isAuthorized());
    EXPECT_EQ(raw->run("/bin/true", {}, nullptr), auth::kInvalidRef);
  }
  unsetenv("DISPLAY");
  for (const char* name : {"pkexec-ok", "pkexec-no-agent", "pkexec-dismissed", "sudo", "askpass"}) {
    unlink((dir + "/" + name).c_str());
  }
  rmdir(dir.c_str());
}
