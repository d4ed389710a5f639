#include "platform/QtCommonDialog.h"

#include "platform/FileFilter.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>
#include <algorithm>

namespace pm {

QtCommonDialog::QtCommonDialog(QWidget* parent, QPrinter& printer)
    : parent_(parent), printer_(printer) {}

SaveChoice QtCommonDialog::showSave(const SaveRequest& request) {
    const QList<FileType> types = parseFilter(request.filter);
    if (types.isEmpty())
        return {{DialogResult::Failed, QStringLiteral("No file type is offered.")}, {}};
    QStringList names;
    for (const FileType& t : types)
        names << nameFilter(t);

    QFileDialog dialog(parent_, QString(), request.initDir);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog behaves alike everywhere: the chosen type and the default extension work
    // as described; the platform dialogs differ in both.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // A day of as-found reports must not end up as one file: replacing one is confirmed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.replaces);
    dialog.setNameFilters(names);
    const int start = std::clamp(filterIndex_, 1, int(names.size()));
    dialog.selectNameFilter(names[start - 1]);
    QString ext = request.defaultExt;
    if (ext.startsWith(u'.'))
        ext.remove(0, 1);
    dialog.setDefaultSuffix(ext);
    // Choosing another type in the dialog makes its extension the one a bare name gets.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &names, &types](const QString& selected) {
                         const qsizetype k = names.indexOf(selected);
                         if (k < 0)
                             return;
                         const QString suffix = patternSuffix(types[k].pattern);
                         if (!suffix.isEmpty())
                             dialog.setDefaultSuffix(suffix);
                     });
    dialog.selectFile(request.fileName);

    if (dialog.exec() != QDialog::Accepted)
        return {{DialogResult::Cancelled, {}}, {}};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return {{DialogResult::Failed, QStringLiteral("No file name was given.")}, {}};
    const qsizetype chosen = names.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0)
        filterIndex_ = int(chosen) + 1;
    return {{DialogResult::Chosen, {}}, files.first()};
}

SaveChoice QtCommonDialog::showOpen(const OpenRequest& request) {
    QStringList names;
    for (const FileType& t : parseFilter(request.filter))
        names << nameFilter(t);
    QFileDialog dialog(parent_, QString(), request.initDir);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(names);
    if (dialog.exec() != QDialog::Accepted)
        return {{DialogResult::Cancelled, {}}, {}};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return {{DialogResult::Failed, QStringLiteral("No file was chosen.")}, {}};
    return {{DialogResult::Chosen, {}}, files.first()};
}

DialogOutcome QtCommonDialog::showPrinter() {
    QPrintDialog dialog(&printer_, parent_);
    // A print-out is always the whole view: no page range, no selection, no current page.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    if (dialog.exec() != QDialog::Accepted)
        return {DialogResult::Cancelled, {}};
    if (!printer_.isValid())
        return {DialogResult::Failed, QStringLiteral("The chosen printer is not available.")};
    return {DialogResult::Chosen, {}};
}

} // namespace pm
