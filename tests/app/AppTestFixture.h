#pragma once

// A TForm1 on a temporary content folder of its own, with the standard boxes answered
// by the test instead of shown.

#include "app/TForm1.h"
#include "platform/ui/Dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp_.isValid());
        dir_ = std::filesystem::path(temp_.path().toStdString());
        platform::Dialogs::clearShown();
        form_ = std::make_unique<TForm1>(dir_);
    }

    void TearDown() override
    {
        form_.reset();
        EXPECT_TRUE(answers_.empty()) << "a box the test expected was not shown";
        for (const auto& [name, value] : savedEnvironment_)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        GiveBackOtherAccountFiles();
    }

    // Lends another account's "read-only" (644) or "writable" (666) file at `relative` until
    // given back; only the unprivileged run (tests/as_unprivileged.sh) has them.
    bool BorrowOtherAccountFile(const std::string& name, const std::string& relative)
    {
        const QByteArray folder = qgetenv("LEXORIN_OTHER_ACCOUNT_FILES");
        if (folder.isEmpty())
            return false;
        const std::filesystem::path home = std::filesystem::path(folder.toStdString()) / name;
        std::filesystem::rename(home, Path(relative));
        borrowed_.emplace_back(home, Path(relative));
        return true;
    }
    void GiveBackOtherAccountFiles()
    {
        for (const auto& [home, borrowed] : std::exchange(borrowed_, {}))
            std::filesystem::rename(borrowed, home);
    }

    // Deleting goes to a trash in the test's folder ("data/Trash"), on the content's disk.
    void UsePrivateTrash()
    {
        for (const char* name : {"XDG_DATA_HOME", "HOME"})
            savedEnvironment_.emplace_back(name, qgetenv(name));
        UseTrashIn("data");
        qputenv("HOME", QByteArray::fromStdString(dir_.string()));
    }
    void UseTrashIn(const std::string& relative)
    {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Path(relative).string()));
    }
    std::filesystem::path Trashed(const std::string& name) const { return Path("data/Trash/files/" + name); }

    // Shows the window (which runs FormShow) and makes it the active window.
    void Show()
    {
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    // The next input box is answered with `text` (OK), or cancelled.
    void AnswerInput(std::string text) { answers_.push_back({true, std::move(text)}); }
    void CancelInput() { answers_.push_back({false, {}}); }

    // Every box shown so far, in order.
    std::vector<platform::DialogRequest> Boxes() const { return requests_; }
    std::vector<std::string> BoxTexts(platform::DialogKind kind) const
    {
        std::vector<std::string> texts;
        for (const auto& request : requests_)
            if (request.kind == kind)
                texts.push_back(request.text);
        return texts;
    }

    std::filesystem::path Path(const std::string& relative) const { return dir_ / relative; }

    void MakeFolder(const std::string& relative) const
    {
        std::filesystem::create_directories(Path(relative));
    }

    void WriteFile(const std::string& relative, const std::string& bytes = "RIFF") const
    {
        std::filesystem::create_directories(Path(relative).parent_path());
        std::ofstream(Path(relative), std::ios::binary) << bytes;
    }

    std::string ReadFile(const std::string& relative) const
    {
        std::ifstream in(Path(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static QStringList Items(const QComboBox* combo)
    {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }

    static QStringList Items(const QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }

    // Opens a drop-down list with the mouse, as a user does, and closes it again
    // without choosing.
    static void DropDown(QComboBox* combo)
    {
        QTest::mouseClick(combo, Qt::LeftButton);
        combo->hidePopup();
    }

    // Opens the list, then chooses the item at `index` with the keyboard.
    static void Choose(QComboBox* combo, int index)
    {
        DropDown(combo);
        combo->setFocus();
        for (int i = 0; i <= index; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
    }

    QTemporaryDir temp_;
    std::filesystem::path dir_;
    std::unique_ptr<TForm1> form_;
    std::deque<platform::DialogAnswer> answers_;
    std::vector<platform::DialogRequest> requests_;
    std::vector<std::pair<const char*, QByteArray>> savedEnvironment_;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> borrowed_;
    platform::ScopedDialogResponder responder_{[this](const platform::DialogRequest& request) {
        requests_.push_back(request);
        if (request.kind != platform::DialogKind::Input)
            return platform::DialogAnswer{true, {}};
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected input box: " << request.text;
            return platform::DialogAnswer{false, {}};
        }
        platform::DialogAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }};
};
