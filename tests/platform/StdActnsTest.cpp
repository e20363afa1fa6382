// The edit actions on each kind of text control a person may have clicked
// into: they follow the focused control's state and act on it.
#include "platform/StdActns.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

using TKind = TEditAction::TKind;

// The text of each kind of control.
QString TextOf(QWidget* control)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* spin = qobject_cast<QSpinBox*>(control))
        return spin->text();
    if (auto* text = qobject_cast<QTextEdit*>(control))
        return text->toPlainText();
    return qobject_cast<QPlainTextEdit*>(control)->toPlainText();
}

} // namespace

TEST(EditActions, WorkOnEveryKindOfTextControl)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* away = new QLineEdit(&window);
    layout->addWidget(away);
    const struct {
        const char* what;
        QWidget* control;
        const char* typed;
    } cases[] = {
        {"a line edit", new QLineEdit(&window), "ver 1"},
        {"a spin box", new QSpinBox(&window), "42"},
        {"a text edit", new QTextEdit(&window), "ver 1"},
        {"a plain text edit", new QPlainTextEdit(&window), "ver 1"},
    };
    for (const auto& c : cases)
        layout->addWidget(c.control);
    if (auto* spin = qobject_cast<QSpinBox*>(cases[1].control))
        spin->setRange(0, 9999);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    std::map<TKind, std::unique_ptr<TEditAction>> actions;
    for (const TKind kind : {TKind::Cut, TKind::Copy, TKind::Paste, TKind::SelectAll, TKind::Undo})
        actions[kind] = std::make_unique<TEditAction>(kind, "step");
    auto enabled = [&](TKind kind) {
        actions[kind]->UpdateTarget();
        return actions[kind]->isEnabled();
    };
    auto run = [&](TKind kind) {
        ASSERT_TRUE(enabled(kind));
        actions[kind]->trigger();
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QGuiApplication::clipboard()->clear();
        if (auto* spin = qobject_cast<QSpinBox*>(c.control))
            spin->clear();
        QTest::mouseClick(c.control, Qt::LeftButton);
        ASSERT_TRUE(c.control->isAncestorOf(QApplication::focusWidget()) || c.control->hasFocus());
        for (const TKind kind : {TKind::Cut, TKind::Copy, TKind::Paste, TKind::SelectAll, TKind::Undo})
            EXPECT_FALSE(enabled(kind)) << "empty, nothing in the clipboard";
        QTest::keyClicks(QApplication::focusWidget(), c.typed);
        EXPECT_EQ(TextOf(c.control).toStdString(), c.typed);
        EXPECT_TRUE(enabled(TKind::SelectAll));
        EXPECT_TRUE(enabled(TKind::Undo));
        EXPECT_FALSE(enabled(TKind::Copy)) << "nothing selected";
        run(TKind::SelectAll);
        run(TKind::Cut);
        EXPECT_EQ(TextOf(c.control).toStdString(), "");
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.typed);
        run(TKind::Paste);
        run(TKind::Paste);
        EXPECT_EQ(TextOf(c.control).toStdString(), std::string(c.typed) + c.typed);
        run(TKind::SelectAll);
        run(TKind::Copy);
        run(TKind::Undo);
        EXPECT_EQ(TextOf(c.control).toStdString(), c.typed);

        // Away from it, no step is offered for it.
        QTest::mouseClick(away, Qt::LeftButton);
        EXPECT_FALSE(enabled(TKind::Undo));
        EXPECT_FALSE(enabled(TKind::SelectAll));
    }
}
