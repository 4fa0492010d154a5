#pragma once
// What the wizard does with the file named on its command line, from the
// file's extension alone (the file is checked later, by the page it
// fills): an extension that begins ".ZIP" (".ZIP", ".ZI", ".Z", a lone ".")
// fills the archive field; one that begins ".EXE" opens the page that turns
// an executable back into its archive. A name ending in a lone "." does
// both; any other name, or none, does neither.

#include <QString>

struct ArgumentUse {
    bool archive = false;
    bool executable = false;
};

ArgumentUse argumentUse(const QString &argument);
