// Message boxes and dialogs answered from a test's script. Every box shown is
// recorded; a box that appears when the script is empty fails the test
// (unless the test allows unscripted boxes) and gets the answer that backs
// out (OK, Cancel, or No for Yes/No).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"

namespace qn::platform::sim {

// One message box as it was shown, with the answer it got.
struct BoxRecord {
  std::string text;
  int style = 0;
  std::string title;
  int answer = 0;
};

class SimDialogs : public Dialogs {
 public:
  SimDialogs() = default;
  SimDialogs(const SimDialogs&) = delete;
  SimDialogs& operator=(const SimDialogs&) = delete;
  ~SimDialogs() override;

  // ---- script for message boxes (first in, first used) ----------------------
  // The next box gets `answer`, whatever it says.
  void Answer(int answer);
  // The next box must show exactly this text, style and title (a test failure
  // names the difference) and gets `answer`.
  void Expect(std::string text, int style, std::string title, int answer);
  // Scripted answers not used yet.
  size_t Pending() const { return script_.size(); }

  // Run when a box appears, before its answer is taken from the script: a
  // test may change the machine here (swap a disk) or queue the answer.
  std::function<void(const BoxRecord& box)> onBox;
  // Boxes, open-file and folder dialogs that find no script are answered
  // quietly instead of failing the test.
  bool allowUnscripted = false;
  // When set, the destructor fails the test if scripted answers were not used.
  bool expectScriptUsed = true;

  // Every box shown, in order.
  std::vector<BoxRecord> boxes;
  // Texts of every box shown, in order (for a quick EXPECT_EQ on a sequence).
  std::vector<std::string> BoxTexts() const;

  // ---- open-file dialog -----------------------------------------------------
  // The next OpenFile call chooses `fileName` (written into record.fileName,
  // result 1); CancelOpenFile makes it return 0 with the record unchanged.
  void ChooseFile(std::string fileName);
  void CancelOpenFile();
  // The record as each OpenFile call received it.
  std::vector<OpenFileRecord> openFileCalls;

  // ---- folder dialog --------------------------------------------------------
  // The next BrowseFolder call returns 1 with `path`; CancelFolder returns 0.
  void ChooseFolder(std::string path);
  void CancelFolder();
  std::vector<FolderRecord> folderCalls;

  // ---- Dialogs --------------------------------------------------------------
  int MsgBox(std::string_view text, int style, std::string_view title) override;
  int OpenFile(OpenFileRecord& record) override;
  int BrowseFolder(const FolderRecord& record, std::string* path) override;

 private:
  struct Step {
    bool checked = false;  // Expect (true) or Answer (false)
    std::string text;
    int style = 0;
    std::string title;
    int answer = 0;
  };
  std::deque<Step> script_;
  std::deque<std::optional<std::string>> fileScript_;    // nullopt: cancel
  std::deque<std::optional<std::string>> folderScript_;  // nullopt: cancel
};

// The answer a box of `style` gets when nobody is there to click: OK for a
// box with one button, else Cancel, or No when there is no Cancel.
int BackOutAnswer(int style);

}  // namespace qn::platform::sim
