#include "WorkbookReader.h"

#include <QProcess>
#include <QStringList>
#include <QXmlStreamReader>

namespace {
// "C12" -> row 12, column 3.
void parseRef(const QString& ref, int* row, int* col) {
    int c = 0;
    qsizetype k = 0;
    while (k < ref.size() && ref[k].isLetter())
        c = c * 26 + (ref[k++].toUpper().unicode() - 'A' + 1);
    *col = c;
    *row = ref.mid(k).toInt();
}

QStringList sharedStrings(const QByteArray& xml) {
    QStringList out;
    QXmlStreamReader r(xml);
    QString current;
    bool inSi = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"si") {
            inSi = true;
            current.clear();
        } else if (r.isStartElement() && r.name() == u"t" && inSi) {
            current += r.readElementText();
        } else if (r.isEndElement() && r.name() == u"si") {
            out << current;
            inSi = false;
        }
    }
    return out;
}

struct CellFormat {
    bool centred = false;
    QString numberFormat;
};

// For each cell format (xf of cellXfs), whether it centres horizontally and vertically, and its
// number format's code.
QList<CellFormat> cellFormats(const QByteArray& xml) {
    QList<CellFormat> out;
    QMap<int, QString> codes{{0, QStringLiteral("General")}};
    QXmlStreamReader r(xml);
    bool inCellXfs = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"numFmt")
            codes[r.attributes().value(QLatin1String("numFmtId")).toInt()] =
                r.attributes().value(QLatin1String("formatCode")).toString();
        else if (r.isStartElement() && r.name() == u"cellXfs")
            inCellXfs = true;
        else if (r.isEndElement() && r.name() == u"cellXfs")
            inCellXfs = false;
        else if (inCellXfs && r.isStartElement() && r.name() == u"xf")
            out << CellFormat{false,
                              codes.value(r.attributes().value(QLatin1String("numFmtId")).toInt())};
        else if (inCellXfs && r.isStartElement() && r.name() == u"alignment" && !out.isEmpty())
            out.last().centred = r.attributes().value(QLatin1String("horizontal")) == u"center" &&
                                 r.attributes().value(QLatin1String("vertical")) == u"center";
    }
    return out;
}
} // namespace

QByteArray unzipMember(const QString& zipPath, const QString& member) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zipPath, member});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

QString SheetContents::text(int row, int col) const {
    const SheetCell* c = cell(row, col);
    return c ? c->text : QString();
}

const SheetCell* SheetContents::cell(int row, int col) const {
    for (const SheetCell& c : cells)
        if (c.row == row && c.col == col)
            return &c;
    return nullptr;
}

SheetContents readFirstSheet(const QString& xlsxPath) {
    SheetContents s;
    const QByteArray sheet = unzipMember(xlsxPath, QStringLiteral("xl/worksheets/sheet1.xml"));
    if (sheet.isEmpty()) {
        s.error = QStringLiteral("no first sheet");
        return s;
    }
    const QStringList strings =
        sharedStrings(unzipMember(xlsxPath, QStringLiteral("xl/sharedStrings.xml")));
    const QList<CellFormat> formats =
        cellFormats(unzipMember(xlsxPath, QStringLiteral("xl/styles.xml")));
    QXmlStreamReader r(sheet);
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.name() == u"dimension") {
            s.dimension = r.attributes().value(QLatin1String("ref")).toString();
        } else if (r.name() == u"pane") {
            s.frozenCell = r.attributes().value(QLatin1String("topLeftCell")).toString();
        } else if (r.name() == u"col") {
            const int first = r.attributes().value(QLatin1String("min")).toInt();
            const int last = r.attributes().value(QLatin1String("max")).toInt();
            for (int c = first; c <= last; ++c)
                s.columnWidths[c] = r.attributes().value(QLatin1String("width")).toDouble();
        } else if (r.name() == u"c") {
            SheetCell c;
            parseRef(r.attributes().value(QLatin1String("r")).toString(), &c.row, &c.col);
            const int style = r.attributes().value(QLatin1String("s")).toInt();
            if (style >= 0 && style < formats.size()) {
                c.centred = formats[style].centred;
                c.numberFormat = formats[style].numberFormat;
            }
            const auto type = r.attributes().value(QLatin1String("t"));
            const bool shared = type == u"s";
            const bool inlineStr = type == u"inlineStr";
            c.number = type.isEmpty() || type == u"n";
            while (!(r.isEndElement() && r.name() == u"c") && !r.atEnd()) {
                r.readNext();
                if (r.isStartElement() && r.name() == u"v") {
                    const QString v = r.readElementText();
                    c.text = shared ? strings.value(v.toInt()) : v;
                } else if (inlineStr && r.isStartElement() && r.name() == u"t") {
                    c.text = r.readElementText();
                }
            }
            s.cells << c;
        }
    }
    s.ok = !r.hasError();
    if (r.hasError())
        s.error = r.errorString();
    return s;
}
