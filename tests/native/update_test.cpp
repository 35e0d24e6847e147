// A file update whose copy fails: the installed application started the
// setup program with "-Update" while another program held its executable
// open. Only the wait window shows during the run; then the updater window
// shows the log; Retry after the file was let go copies it; OK starts the
// application and ends the program.
#include <shlobj.h>

#include <algorithm>

#include "tests/native/layout.h"
#include "tests/native/machine.h"
#include "tests/native/native_run.h"

namespace orvel::native {
namespace {

constexpr UINT kAnsiCodePage = 1252;
const std::wstring kProgramKey = L"Software\\OrvelDraw\\Program";

size_t countStarting(const std::vector<std::wstring>& lines, const std::wstring& start) {
  return static_cast<size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) { return line.rfind(start, 0) == 0; }));
}

bool contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class UpdateRun : public NativeRun {
 protected:
  void SetUp() override {
    NativeRun::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // Where a user has the application, and where it put the downloaded update.
    installation_ = shellFolder(CSIDL_PROGRAM_FILESX86) + L"OrvelDraw\\";
    update_ = L"C:\\OrvelDraw-Update\\";
    claimFolder(installation_);
    claimFolder(update_);
    // The installation as an older version left it, and the new version's files.
    ASSERT_TRUE(copyFolder(dist(), installation_));
    ASSERT_TRUE(copyFolder(dist(), update_));
    writeBytes(installation_ + L"OrvelDraw.exe", "the old application");
    writeBytes(installation_ + L"languages\\english.ini", "[Installation]\r\nBInstall=Old install\r\n");
    // The application's next update check, kept for the machine so far.
    writeDword(HKEY_LOCAL_MACHINE, kProgramKey, L"Update", 1, kView32);
    writeDword(HKEY_LOCAL_MACHINE, kProgramKey, L"NextUpdate", 20270101, kView32);
  }

  static void writeBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }

  std::unique_ptr<SetupProcess> startUpdate() {
    return start(update_ + L"Setup.exe", {L"-Update", installation_, update_, L"2.1"});
  }

  std::wstring installation_;
  std::wstring update_;
};

TEST_F(UpdateRun, LockedExecutableShowsTheLogThenRetryCopiesItAndOkStartsIt) {
  FileLock lock(installation_ + L"OrvelDraw.exe");
  ASSERT_TRUE(lock.held());
  auto setup = startUpdate();

  // The wait window, alone, while the procedure runs (it waits two seconds
  // before it copies).
  const WaitWindow wait = findWaitWindow(setup->window(caption::kWait, 20s));
  ASSERT_NE(wait.form, nullptr) << describeWindows(setup->id());
  expectWaitLayout(wait);
  EXPECT_EQ(visibleWindows(setup->id()), std::vector<HWND>{wait.form}) << describeWindows(setup->id());
  const Rect frame = screenRect(wait.form);
  EXPECT_NEAR(frame.left + frame.width / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1) << "centred";
  EXPECT_NEAR(frame.top + frame.height / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  screenshot(wait.form, "wait-window");

  const UpdaterWindow updater = findUpdaterWindow(setup->window(caption::kUpdater, 60s));
  ASSERT_EQ(updater.missing(), "") << describeWindows(setup->id());
  EXPECT_FALSE(IsWindowVisible(wait.form));
  expectUpdaterLayout(updater);
  const std::wstring updateLog = installation_ + L"update.txt";
  ASSERT_TRUE(waitUntil([&] { return memoHasLineStarting(updater.Memo, updateLog); }, 10s));
  const std::vector<std::wstring> first = memoLines(updater.Memo);
  EXPECT_EQ(first.front(), L"Old Version: 2.1");
  EXPECT_TRUE(contains(first, L"Source     : " + update_));
  EXPECT_TRUE(contains(first, L"Destination: " + installation_));
  EXPECT_TRUE(contains(first, L"\"" + installation_ + L"OrvelDraw.exe\" kann nicht gelöscht werden."));
  EXPECT_TRUE(contains(first, L"Cannot copy " + update_ + L"OrvelDraw.exe"));
  EXPECT_TRUE(contains(first, L"  to: " + installation_ + L"OrvelDraw.exe"));
  EXPECT_TRUE(contains(first, L"Rename Languagefile: " + installation_ + L"languages\\english.ini -> "));
  EXPECT_EQ(first.back(), updateLog);
  EXPECT_EQ(crlfLines(updateLog, kAnsiCodePage), first);
  screenshot(updater.form, "updater-window");
  // No way out but OK: the window has no close button.
  EXPECT_FALSE(GetWindowLongPtrW(updater.form, GWL_STYLE) & WS_SYSMENU);

  // The other program lets go; Retry runs the whole procedure again below
  // the first run's lines.
  lock.release();
  click(updater.BRetry);
  ASSERT_TRUE(waitUntil([&] { return countStarting(memoLines(updater.Memo), updateLog) == 2; }, 30s))
      << describeWindows(setup->id());
  const std::vector<std::wstring> both = memoLines(updater.Memo);
  const std::vector<std::wstring> second(both.begin() + static_cast<long>(first.size()), both.end());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin())) << "the first run's lines stay";
  EXPECT_TRUE(contains(second, L"Kopiere " + update_ + L"OrvelDraw.exe nach " + installation_ + L"OrvelDraw.exe"));
  EXPECT_EQ(countStarting(second, L"Cannot copy "), 0u);
  EXPECT_EQ(countStarting(second, L"Rename Languagefile: "), 0u) << "english2.1.ini is there from the first run";
  EXPECT_EQ(crlfLines(updateLog, kAnsiCodePage), both);
  EXPECT_TRUE(IsWindowVisible(updater.form)) << "the window stays until OK";

  click(updater.BOK);
  ASSERT_TRUE(setup->waitForExit(20s)) << describeWindows(setup->id());
  EXPECT_EQ(setup->exitCode(), 0u);
  EXPECT_TRUE(waitForTheApplicationToEnd());

  EXPECT_EQ(readBytes(installation_ + L"OrvelDraw.exe"), readBytes(update_ + L"OrvelDraw.exe"));
  EXPECT_EQ(readBytes(installation_ + L"languages\\english2.1.ini"), "[Installation]\r\nBInstall=Old install\r\n");
  EXPECT_EQ(readBytes(installation_ + L"languages\\english.ini"), readBytes(update_ + L"languages\\english.ini"));
  EXPECT_EQ(readBytes(installation_ + L"img\\logo.png"), readBytes(update_ + L"img\\logo.png"));
  // The update check moved from the machine to the user.
  EXPECT_FALSE(readDword(HKEY_LOCAL_MACHINE, kProgramKey, L"Update", kView32));
  EXPECT_EQ(readDword(HKEY_CURRENT_USER, kProgramKey, L"Update", 0), 1u);
  EXPECT_EQ(readDword(HKEY_CURRENT_USER, kProgramKey, L"NextUpdate", 0), 20270101u);
}

// Without a failure the updater window never shows: the application is
// started again at once and the program ends.
TEST_F(UpdateRun, UpdateWithoutFailureRestartsWithoutTheLog) {
  const std::vector<std::wstring> seen = captionsUntilTheEnd(*startUpdate());
  EXPECT_TRUE(waitForTheApplicationToEnd());
  EXPECT_EQ(seen, std::vector<std::wstring>{caption::kWait}) << "only the wait window shows";
  EXPECT_EQ(readBytes(installation_ + L"OrvelDraw.exe"), readBytes(update_ + L"OrvelDraw.exe"));
  const auto log = crlfLines(installation_ + L"update.txt", kAnsiCodePage);
  ASSERT_TRUE(log);
  EXPECT_EQ(countStarting(*log, L"Cannot copy "), 0u);
}

}  // namespace
}  // namespace orvel::native
