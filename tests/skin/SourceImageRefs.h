#pragma once
// Finds the skin image paths that the program's sources name, so a test can
// check each one against the painted data folder.
//
// What counts as a reference: a C++ string literal (comments are skipped) or,
// in a form (.ui) or style sheet (.qss), any text, holding "/image/..." or
// "/pic/..." followed by an image extension (png, jpg, jpeg, bmp, gif, svg,
// ico, webp, any case).
//
// What is skipped, because the file name is only known at run time:
//  - a path holding a placeholder ("%1", "%d", ...) or "{" / "$", such as
//    "/image/Format/icon_%1.png";
//  - a bare folder prefix without an image extension ("/image/Format/"), which
//    the code joins with a name;
//  - Qt resource paths (":/image/..."), which do not live in the data folder.

#include <QList>
#include <QString>
#include <QStringList>

namespace SourceImageRefs {

struct Literal {
    QString text;
    int line = 0;  // 1-based line of the opening quote
};

struct Ref {
    QString path;  // "/image/..." or "/pic/...", relative to the data folder
    QString file;  // source file it came from
    int line = 0;
};

// String literals of C++ source text, comments and character literals skipped;
// raw strings included. Escapes are kept as written.
QList<Literal> cppStringLiterals(const QString &source);

// Image paths in one piece of text, after the skip rules above.
QStringList imagePathsIn(const QString &text);

// Every reference in the files under root (C++ sources, headers, forms, style sheets).
QList<Ref> scanTree(const QString &root);

} // namespace SourceImageRefs
