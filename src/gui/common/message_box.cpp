#include "gui/common/message_box.h"

#include "core/shell/app_info.h"

#include <QApplication>
#include <QMessageBox>

namespace {
struct Script {
    bool scripted = false;
    QList<MessageBox::Answer> answers;
    QList<MessageBox::Shown> shown;
};

Script& script()
{
    static Script s;
    return s;
}

QMessageBox::Icon toQt(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    case MessageBox::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBox::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBox::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}

QMessageBox::StandardButton toQt(MessageBox::Answer answer)
{
    switch (answer) {
    case MessageBox::Answer::Yes:
        return QMessageBox::Yes;
    case MessageBox::Answer::No:
        return QMessageBox::No;
    case MessageBox::Answer::Cancel:
        return QMessageBox::Cancel;
    case MessageBox::Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}
} // namespace

MessageBox::Answer MessageBox::information(QWidget* parent, const QString& text, const QString& title)
{
    return show(parent, title.isEmpty() ? applicationTitle() : title, text, Icon::Information, Buttons::Ok);
}

MessageBox::Answer MessageBox::question(QWidget* parent, const QString& text, const QString& title)
{
    return show(parent, title.isEmpty() ? applicationTitle() : title, text, Icon::Question, Buttons::YesNo);
}

MessageBox::Answer MessageBox::question(QWidget* parent, const QString& text, Answer defaultButton,
                                        const QString& title)
{
    return show(parent, title.isEmpty() ? applicationTitle() : title, text, Icon::Question, Buttons::YesNo,
                defaultButton);
}

MessageBox::Answer MessageBox::confirm(QWidget* parent, const QString& text, const QString& title)
{
    return show(parent, title.isEmpty() ? applicationTitle() : title, text, Icon::Information, Buttons::OkCancel);
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& title, const QString& text, Icon icon,
                                    Buttons buttons, std::optional<Answer> defaultButton)
{
    const Answer pressedByEnter = defaultButton.value_or(buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok);
    Script& s = script();
    s.shown.append({title, text, icon, buttons, pressedByEnter});
    if (s.scripted) {
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (s.answers.isEmpty())
            return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
        return s.answers.takeFirst();
    }

    // A message must never be shown under the hourglass.
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == Buttons::YesNo)
        standard = QMessageBox::Yes | QMessageBox::No;
    else if (buttons == Buttons::OkCancel)
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(toQt(icon), title, text, standard, parent);
    box.setDefaultButton(toQt(pressedByEnter));
    const int result = box.exec();
    QApplication::restoreOverrideCursor();
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return result == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
        break;
    }
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString MessageBox::errorTitle(const QString& code)
{
    if (code.trimmed().isEmpty())
        return applicationTitle();
    return applicationTitle() + QStringLiteral(" - ") + code;
}

void MessageBox::setScripted(bool scripted)
{
    script().scripted = scripted;
    script().answers.clear();
}

bool MessageBox::isScripted()
{
    return script().scripted;
}

void MessageBox::setNextAnswer(Answer answer)
{
    script().answers.append(answer);
}

const QList<MessageBox::Shown>& MessageBox::shown()
{
    return script().shown;
}

void MessageBox::clearShown()
{
    script().shown.clear();
}
