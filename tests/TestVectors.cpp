#include "TestVectors.h"

#include <QFile>
#include <stdexcept>

const std::vector<ReadingVector>& readingVectors() {
    static const std::vector<ReadingVector> vectors = [] {
        std::vector<ReadingVector> out;
        QFile file(QStringLiteral(PHASEMETER_TEST_DATA "/readings.txt"));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("tests/data/readings.txt is missing");
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            const QStringList parts = line.split(u'|');
            if (parts.size() != 3)
                throw std::runtime_error("bad line in readings.txt");
            ReadingVector v{parts[0].trimmed(), QByteArray::fromHex(parts[1].toLatin1()),
                            parts[2].split(u' ', Qt::SkipEmptyParts)};
            if (v.block.size() != 22 || v.texts.size() != pm::kFieldCount)
                throw std::runtime_error("bad vector in readings.txt");
            out.push_back(v);
        }
        return out;
    }();
    return vectors;
}

const ReadingVector& readingVector(const QString& name) {
    for (const auto& v : readingVectors())
        if (v.name == name)
            return v;
    throw std::runtime_error("no such reading vector");
}
