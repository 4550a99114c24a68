#include "ui/ErrorGuard.h"

#include "FailureRecorder.h"
#include "base/Exception.h"
#include "support/Messages.h"

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace dravik::ui {
namespace {

using test::FailureRecorder;
using test::W;

TEST(ErrorGuard, ShowsTheMessageWithItsFullStopUnderTheApplicationTitle) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Неверный формат", "Неверный формат."},
        {"Таймаут", "Таймаут."},
        {"Уже с точкой.", "Уже с точкой."},
        {"COM3: 5", "COM3: 5."},
        {"a:", "a:."},
        {"(скобка)", "(скобка)"},
        {"восклицание!", "восклицание!"},
        {"Резервуар 3:\r\n0 не в диапазоне 1..99", "Резервуар 3:\n0 не в диапазоне 1..99."},
        {"", ""},
    };
    for (const auto& c : cases) {
        FailureRecorder recorder;
        EXPECT_FALSE(Guarded([&] { throw Exception(W(c.message)); }));
        ASSERT_EQ(recorder.Texts.size(), 1) << c.message;
        EXPECT_EQ(recorder.Texts[0], QString::fromUtf8(c.shown));
        EXPECT_EQ(recorder.Captions[0], QApplication::applicationName());
    }
}

// The real box, not a recorder: the advice is its informative text, the message its text.
TEST(ErrorGuard, TheStopBoxShowsTheAdviceBelowTheMessage) {
    QString text;
    QString advice;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            advice = box->informativeText();
            box->accept();
        }
    });
    closer.start(10);
    const auto advisor = [](const std::exception& failure) {
        return std::vector<std::string>{W("Совет к: ") + failure.what(), W("вторая строка")};
    };
    EXPECT_FALSE(Guarded([] { throw Exception(W("COM1: Permission denied")); }, advisor));
    EXPECT_EQ(text, QStringLiteral("COM1: Permission denied."));
    EXPECT_EQ(advice, QStringLiteral("Совет к: COM1: Permission denied\nвторая строка"));
}

TEST(ErrorGuard, ShowsNothingWhenTheWorkSucceeds) {
    FailureRecorder recorder;
    bool ran = false;
    EXPECT_TRUE(Guarded([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(recorder.Texts.isEmpty());
}

TEST(ErrorGuard, KeepsFailuresOfOtherKindsOutOfQtToo) {
    FailureRecorder recorder;
    EXPECT_FALSE(Guarded([] { throw std::runtime_error("library failure"); }));
    EXPECT_FALSE(Guarded([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(Guarded([] { throw 42; }));
    EXPECT_EQ(recorder.Texts, (QStringList{QStringLiteral("library failure."),
                                           QStringLiteral("Недостаточно памяти."),
                                           QStringLiteral("Непредвиденная ошибка.")}));
}

TEST(ErrorGuard, DeferredShowsOnlyOnceTheEventLoopRuns) {
    FailureRecorder recorder;
    EXPECT_FALSE(GuardedDeferred([] { throw Exception("later"); }));
    EXPECT_TRUE(recorder.Texts.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !recorder.Texts.isEmpty(); }));
    EXPECT_EQ(recorder.Texts, QStringList{QStringLiteral("later.")});
}

} // namespace
} // namespace dravik::ui
