#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

// Answers the next message box, or file dialog, that opens, from within its own event loop; the
// message box's text is kept.
class DialogAnswer
{
public:
    // Clicks the message box's button of that caption.
    static std::unique_ptr<DialogAnswer> click(const QString &caption)
    {
        return std::make_unique<DialogAnswer>([caption](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            if (!box)
                return false;
            for (QAbstractButton *button : box->buttons()) {
                if (button->text().remove(QLatin1Char('&')) == caption)
                    button->click();
            }
            return true;
        });
    }
    // Types a file's whole path into the file dialog, with the type of file `filter` when given,
    // and accepts it.
    static std::unique_ptr<DialogAnswer> choose(const QString &path, const QString &filter = {})
    {
        return std::make_unique<DialogAnswer>([path, filter](QWidget *dialog) {
            auto *files = qobject_cast<QFileDialog *>(dialog);
            auto *name
                = files ? files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!name)
                return false;
            if (!filter.isEmpty())
                files->selectNameFilter(filter);
            name->setText(path);
            QMetaObject::invokeMethod(files, "accept");
            return true;
        });
    }

    // `answer` answers a dialog it knows, and says whether it did.
    explicit DialogAnswer(std::function<bool(QWidget *)> answer)
    {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this, answer = std::move(answer)] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (const auto *box = qobject_cast<QMessageBox *>(dialog))
                m_text = box->text();
            if (dialog && answer(dialog))
                m_poll.stop();
        });
        m_poll.start();
    }
    [[nodiscard]] bool answered() const { return !m_poll.isActive(); }
    [[nodiscard]] QString text() const { return m_text; }

private:
    QTimer m_poll;
    QString m_text;
};
