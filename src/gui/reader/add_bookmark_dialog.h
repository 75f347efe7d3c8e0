#pragma once

#include <functional>
#include <string>

#include <QDialog>

class QLineEdit;

namespace quillon {

class Messenger;

// "增加书签": shows the position the bookmark will store and asks for its
// description, pre-filled with the current local time. OK hands the GBK
// description to `add`, which stores the bookmark or explains why not
// through the messenger (whose boxes belong to this dialog); the dialog
// closes only when it was stored.
class AddBookmarkDialog final : public QDialog {
    Q_OBJECT
public:
    AddBookmarkDialog(const QString& position, const QString& initialDescription,
                      std::function<bool(const std::string&, Messenger&)> add, QWidget* parent = nullptr);

    // The accepted description, GBK.
    std::string description() const;

    void accept() override;

private:
    QLineEdit* position_ = nullptr;
    QLineEdit* description_ = nullptr;
    std::function<bool(const std::string&, Messenger&)> add_;
};

}  // namespace quillon
