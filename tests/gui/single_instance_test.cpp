#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <QDir>
#include <csignal>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "gui/app/single_instance.h"
#include "support/temp_dir.h"

namespace orvanta::gui::test {
namespace {

QString Folder(const orvanta::test::TempDir &dir) { return QString::fromStdString(dir.Path().string()); }

// Starts the real program as a second copy in `runtime` and waits for it to
// end; returns how long it ran, or -1 when it did not end by itself.
qint64 StartSecondCopy(const QString &runtime, int *exitCode) {
  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", runtime);
  env.insert("XDG_CONFIG_HOME", runtime + "/config");
  second.setProcessEnvironment(env);
  QElapsedTimer clock;
  clock.start();
  second.start(QStringLiteral(ORVANTA_GUI_PROGRAM), {});
  if (!second.waitForStarted(5000)) {
    ADD_FAILURE() << "cannot start " << ORVANTA_GUI_PROGRAM;
    return -1;
  }
  // The first copy is this test process: its event loop must run meanwhile.
  while (second.state() != QProcess::NotRunning && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    second.waitForFinished(10);
  }
  if (second.state() != QProcess::NotRunning) {
    second.kill();
    second.waitForFinished();
    return -1;
  }
  *exitCode = second.exitCode();
  return clock.elapsed();
}

TEST(SingleInstance, ASecondStartHandsTheRestoreRequestToTheFirstAndEnds) {
  orvanta::test::TempDir dir;
  SingleInstance first(Folder(dir));
  ASSERT_FALSE(first.HandOverToRunningCopy());
  ASSERT_TRUE(first.Listen());
  QSignalSpy restored(&first, &SingleInstance::RestoreRequested);

  int exitCode = -1;
  const qint64 ran = StartSecondCopy(Folder(dir), &exitCode);
  ASSERT_GE(ran, 0) << "the second copy did not end";
  EXPECT_EQ(exitCode, 0);
  // The program itself ends at once; allow for a busy machine starting it.
  EXPECT_LT(ran, 2000);
  EXPECT_TRUE(restored.count() == 1 || restored.wait(1000));
  EXPECT_EQ(restored.count(), 1);
}

TEST(SingleInstance, OfTwoStartsAtTheSameMomentOneRunsAndTheOtherHandsOver) {
  orvanta::test::TempDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", Folder(dir));
  env.insert("XDG_CONFIG_HOME", Folder(dir) + "/config");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("ORVANTA_DRIVES", "");
  QProcess a, b;
  for (QProcess *p : {&a, &b}) {
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(ORVANTA_GUI_PROGRAM), {});
  }
  ASSERT_TRUE(a.waitForStarted(5000) && b.waitForStarted(5000));
  // The one that lost the race ends by itself; the other keeps running.
  QElapsedTimer clock;
  clock.start();
  while (a.state() == QProcess::Running && b.state() == QProcess::Running && clock.elapsed() < 8000) {
    a.waitForFinished(20);
    b.waitForFinished(20);
  }
  const int ended = (a.state() == QProcess::NotRunning) + (b.state() == QProcess::NotRunning);
  QProcess &ender = a.state() == QProcess::NotRunning ? a : b;
  QProcess &runner = &ender == &a ? b : a;
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(ender.exitCode(), 0);
  EXPECT_FALSE(runner.waitForFinished(300)); // still running
  for (QProcess *p : {&a, &b}) {
    p->kill();
    p->waitForFinished(3000);
  }
}

// SIGTERM and SIGHUP end the program as its own quit does, not by the
// signal's default death in the middle of whatever it was doing.
TEST(SingleInstance, TermAndHupEndTheProgramCleanly) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    orvanta::test::TempDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", Folder(dir));
    env.insert("XDG_CONFIG_HOME", Folder(dir) + "/config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ORVANTA_DRIVES", "");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ORVANTA_GUI_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // Its window is up a moment after it listens for a second copy.
    QElapsedTimer clock;
    clock.start();
    while (QDir(Folder(dir)).isEmpty() && clock.elapsed() < 5000)
      program.waitForFinished(20);
    program.waitForFinished(500);
    ::kill(static_cast<pid_t>(program.processId()), signal);
    ASSERT_TRUE(program.waitForFinished(5000)) << signal;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signal;
    EXPECT_EQ(program.exitCode(), 0) << signal;
  }
}

TEST(SingleInstance, OnlyCode1034BringsTheCopyForward) {
  orvanta::test::TempDir dir;
  SingleInstance first(Folder(dir));
  ASSERT_FALSE(first.HandOverToRunningCopy());
  ASSERT_TRUE(first.Listen());
  QSignalSpy restored(&first, &SingleInstance::RestoreRequested);
  ASSERT_TRUE(SingleInstance::SendRestoreRequest(first.SocketPath(), 1035));
  QLocalSocket junk;
  junk.connectToServer(first.SocketPath());
  ASSERT_TRUE(junk.waitForConnected(1000));
  junk.write(QByteArray(4096, 'x'));
  junk.waitForBytesWritten(1000);
  EXPECT_FALSE(restored.wait(300));
  ASSERT_TRUE(SingleInstance::SendRestoreRequest(first.SocketPath(), 1034));
  EXPECT_TRUE(restored.wait(1000));
}

TEST(SingleInstance, ASocketLeftByACrashedCopyIsReplaced) {
  orvanta::test::TempDir dir;
  SingleInstance first(Folder(dir));
  {
    // A socket file whose listener is gone, as a crash leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = first.SocketPath().toStdString();
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
  }
  EXPECT_FALSE(first.HandOverToRunningCopy());
  ASSERT_TRUE(first.Listen());
  SingleInstance second(Folder(dir));
  QSignalSpy restored(&first, &SingleInstance::RestoreRequested);
  EXPECT_TRUE(second.HandOverToRunningCopy());
  EXPECT_TRUE(restored.wait(1000));
}

} // namespace
} // namespace orvanta::gui::test
