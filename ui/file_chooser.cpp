#include "file_chooser.h"

#include <QApplication>
#include <QFileDialog>

namespace tavro::ui {

void closeLeftoverPopups() {
    // Each popup closed uncovers the one beneath, if any; a popup that will
    // not close is left rather than waited for.
    for (int left = 8; left > 0; --left) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) return;
        popup->close();
    }
}

DialogFileChooser::DialogFileChooser(QWidget* parent) : parent_(parent) {}

DialogFileChooser::~DialogFileChooser() {
    // Without a parent nobody else would delete the dialog.
    if (dialog_ && !dialog_->parent()) delete dialog_.data();
}

std::optional<QString> DialogFileChooser::showOpen() { return show(Purpose::Open); }

std::optional<QString> DialogFileChooser::showSave() { return show(Purpose::Save); }

QFileDialog& DialogFileChooser::dialog() {
    if (!dialog_) {
        // An empty caption lets the dialog use its standard titles ("Open",
        // "Save As"); no name filter lists every file; no folder is given, so it
        // starts where the program was started, or where the last file was.
        dialog_ = new QFileDialog(parent_);
        dialog_->setObjectName(QStringLiteral("AR"));
    }
    return *dialog_;
}

std::optional<QString> DialogFileChooser::show(Purpose purpose) {
    QFileDialog& box = dialog();
    if (purpose == Purpose::Open) {
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setFileMode(QFileDialog::ExistingFile);
        box.setOption(QFileDialog::DontConfirmOverwrite, false);
    } else {
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setFileMode(QFileDialog::AnyFile);
        box.setOption(QFileDialog::DontConfirmOverwrite, true);
    }
    if (!fileName_.isEmpty()) box.selectFile(fileName_);

    const int answer = box.exec();
    closeLeftoverPopups();
    if (answer != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = box.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    fileName_ = chosen.constFirst();
    return fileName_;
}

}  // namespace tavro::ui
