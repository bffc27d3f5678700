#include "ui/about_dialog.h"

#include <QIcon>
#include <QPushButton>

#include "resource_ids.h"
#include "ui/dialog_font.h"
#include "ui_about_dialog.h"

namespace {

// The size at which a dialog shows an icon.
constexpr QSize kIconSize(32, 32);

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);
    UseDialogFont(*this);
    // A modal frame: a caption with its close box, no sizing, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(size());

    const QIcon icon(ResourcePath(resource_ids::kAppIcon));
    m_ui->iconLabel->setPixmap(icon.pixmap(kIconSize));
    m_ui->iconLabel->resize(kIconSize);

    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog() = default;
