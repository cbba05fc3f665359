#include "platform/sim/sim_dialogs.h"

#include <gtest/gtest.h>

#include <utility>

namespace qn::platform::sim {

int BackOutAnswer(int style) {
  switch (style & 0xF) {
    case mb::kOk:
      return answer::kOk;
    case mb::kYesNo:
      return answer::kNo;
    default:  // OK/Cancel, Yes/No/Cancel, Retry/Cancel
      return answer::kCancel;
  }
}

SimDialogs::~SimDialogs() {
  if (!expectScriptUsed) return;
  if (!script_.empty()) {
    ADD_FAILURE() << script_.size()
                  << " scripted message box answer(s) were never used; the next expected box was "
                  << (script_.front().checked ? "\"" + script_.front().text + "\"" : "any box");
  }
  if (!fileScript_.empty()) ADD_FAILURE() << "a scripted open-file dialog never appeared";
  if (!folderScript_.empty()) ADD_FAILURE() << "a scripted folder dialog never appeared";
}

void SimDialogs::Answer(int answer) { script_.push_back(Step{false, "", 0, "", answer}); }

void SimDialogs::Expect(std::string text, int style, std::string title, int answer) {
  script_.push_back(Step{true, std::move(text), style, std::move(title), answer});
}

std::vector<std::string> SimDialogs::BoxTexts() const {
  std::vector<std::string> texts;
  texts.reserve(boxes.size());
  for (const BoxRecord& box : boxes) texts.push_back(box.text);
  return texts;
}

void SimDialogs::ChooseFile(std::string fileName) { fileScript_.emplace_back(std::move(fileName)); }
void SimDialogs::CancelOpenFile() { fileScript_.emplace_back(std::nullopt); }
void SimDialogs::ChooseFolder(std::string path) { folderScript_.emplace_back(std::move(path)); }
void SimDialogs::CancelFolder() { folderScript_.emplace_back(std::nullopt); }

int SimDialogs::MsgBox(std::string_view text, int style, std::string_view title) {
  BoxRecord box{std::string(text), style, std::string(title), 0};
  if (onBox) onBox(box);
  if (script_.empty()) {
    if (!allowUnscripted) {
      ADD_FAILURE() << "unexpected message box: \"" << box.text << "\" (style " << style << ", title \""
                    << box.title << "\")";
    }
    box.answer = BackOutAnswer(style);
  } else {
    const Step step = std::move(script_.front());
    script_.pop_front();
    if (step.checked) {
      EXPECT_EQ(step.text, box.text) << "message box " << boxes.size() + 1 << " shows the wrong text";
      EXPECT_EQ(step.style, box.style) << "message box \"" << box.text << "\" has the wrong buttons or icon";
      EXPECT_EQ(step.title, box.title) << "message box \"" << box.text << "\" has the wrong title";
    }
    box.answer = step.answer;
  }
  boxes.push_back(box);
  return box.answer;
}

int SimDialogs::OpenFile(OpenFileRecord& record) {
  openFileCalls.push_back(record);
  if (fileScript_.empty()) {
    if (!allowUnscripted) ADD_FAILURE() << "unexpected open-file dialog \"" << record.title << "\"";
    return 0;
  }
  std::optional<std::string> choice = std::move(fileScript_.front());
  fileScript_.pop_front();
  if (!choice) return 0;
  record.fileName = std::move(*choice);
  return 1;
}

int SimDialogs::BrowseFolder(const FolderRecord& record, std::string* path) {
  folderCalls.push_back(record);
  if (folderScript_.empty()) {
    if (!allowUnscripted) ADD_FAILURE() << "unexpected folder dialog \"" << record.title << "\"";
    return 0;
  }
  std::optional<std::string> choice = std::move(folderScript_.front());
  folderScript_.pop_front();
  if (!choice) return 0;
  *path = std::move(*choice);
  return 1;
}

}  // namespace qn::platform::sim
