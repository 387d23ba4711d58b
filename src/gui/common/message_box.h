#pragma once

#include <QList>
#include <QString>

#include <optional>

class QWidget;

// Every message the program shows goes through here, so tests can script the answer and read what was said.
class MessageBox
{
public:
    enum class Icon { Information, Question, Warning, Critical };
    enum class Buttons { Ok, YesNo, OkCancel };
    enum class Answer { Ok, Yes, No, Cancel };

    struct Shown {
        QString title;
        QString text;
        Icon icon;
        Buttons buttons;
        // The button that Enter presses.
        Answer defaultButton = Answer::Ok;
    };

    // Information icon, OK button, application title unless another is given.
    static Answer information(QWidget* parent, const QString& text, const QString& title = QString());
    // Question icon, Yes and No buttons.
    static Answer question(QWidget* parent, const QString& text, const QString& title = QString());
    // The same with the default button given: No for a question whose Yes deletes, replaces or overwrites, so
    // that a hasty Enter keeps what is there.
    static Answer question(QWidget* parent, const QString& text, Answer defaultButton,
                           const QString& title = QString());
    // Information icon, OK and Cancel buttons: a warning that the user may still call off.
    static Answer confirm(QWidget* parent, const QString& text, const QString& title = QString());
    // Enter presses Yes of Yes and No, OK otherwise, unless another of the buttons is given.
    static Answer show(QWidget* parent, const QString& title, const QString& text, Icon icon, Buttons buttons,
                       std::optional<Answer> defaultButton = std::nullopt);
    // The title of an error report: the application title, then " - " and the error's number when it has one.
    static QString errorTitle(const QString& code);

    // Test seam: while scripted, nothing is drawn; questions take the queued answers (No, or Cancel for OK and
    // Cancel, when none is queued).
    static void setScripted(bool scripted);
    static bool isScripted();
    static void setNextAnswer(Answer answer);
    static const QList<Shown>& shown();
    static void clearShown();
};
