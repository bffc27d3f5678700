#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The About box (template 103): the icon, the version and a description, and an OK button
// that closes it. It exchanges no data.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};
