// Build-time tool: reads the parameter tree of the window definition and
// writes it as a C++ table, so that the headless core knows the same
// catalogue as the window without a second hand-written copy.
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QXmlStreamReader>
#include <cstdio>

#include "config/catalogue.h"

namespace {
struct Row {
    int parent;
    QStringList columns;
};

// Octal escapes: unlike hex ones, they never swallow the character after.
QByteArray CLiteral(const QString &text)
{
    QByteArray out("\"");
    for (const unsigned char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\', out += char(c);
        else if (c < 0x20 || c >= 0x7F)
            out += QByteArray("\\") + QByteArray::number(c, 8).rightJustified(3, '0');
        else
            out += char(c);
    }
    return out + '"';
}

// The texts of one <item>, in column order; nested items go on the stack.
bool ReadTree(QXmlStreamReader &xml, QList<Row> *rows)
{
    QList<int> open;  // indexes of the items being read, innermost last
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("item")) {
            rows->append({open.isEmpty() ? -1 : open.last(), {}});
            open.append(rows->size() - 1);
        } else if (xml.isEndElement() && xml.name() == QLatin1String("item")) {
            open.removeLast();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("string") && !open.isEmpty()) {
            (*rows)[open.last()].columns.append(xml.readElementText());
        } else if (xml.isEndElement() && xml.name() == QLatin1String("widget") && open.isEmpty()) {
            return true;
        }
    }
    return !xml.hasError();
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: cataloguegen WINDOW.ui OUTPUT.cpp\n");
        return 2;
    }
    QFile ui(QString::fromLocal8Bit(argv[1]));
    if (!ui.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cataloguegen: cannot read %s\n", argv[1]);
        return 1;
    }
    QXmlStreamReader xml(&ui);
    QList<Row> rows;
    bool found = false;
    while (!xml.atEnd() && !found) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("widget")
            && xml.attributes().value(QLatin1String("name")) == QLatin1String("treeWidget"))
            found = ReadTree(xml, &rows);
    }
    if (!found || rows.isEmpty()) {
        std::fprintf(stderr, "cataloguegen: no parameter tree in %s\n", argv[1]);
        return 1;
    }
    QByteArray out("// Generated from the window definition by cataloguegen: do not edit.\n"
                   "#include \"config/catalogue.h\"\n\n"
                   "const CatalogueItem CatalogueItems[] = {\n");
    for (const Row &row : rows) {
        out += "    {" + QByteArray::number(row.parent);
        for (int column = 0; column < CatalogueColumns; ++column)
            out += ", " + CLiteral(row.columns.value(column));
        out += "},\n";
    }
    out += "};\nconst int CatalogueItemCount = " + QByteArray::number(rows.size()) + ";\n";
    QSaveFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        std::fprintf(stderr, "cataloguegen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
