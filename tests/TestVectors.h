#pragma once

#include "protocol/Reading.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// A measurement block and the panel texts it gives when applied to the initial panel.
struct ReadingVector {
    QString name;
    QByteArray block;
    QStringList texts; // in the order of pm::Field
};

// The shared vectors of tests/data/readings.txt.
const std::vector<ReadingVector>& readingVectors();
const ReadingVector& readingVector(const QString& name);
