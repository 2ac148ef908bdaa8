#pragma once
// The recordings a soak walk opens: good ones of every format and damaged or
// hostile ones, written into a folder of the walk's own.

#include <QString>
#include <QStringList>

// A file and how the Open group is set for it.
struct SoakFile
{
    QString path;
    int format = 0;
    QString datatype;
    QString rate;
};

// Writes the files into `folder` and lists them.
QList<SoakFile> writeSoakFiles(const QString& folder);
