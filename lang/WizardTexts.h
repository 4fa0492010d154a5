#pragma once
// The texts the wizard takes from its language files: the property paths
// that a translation pass sets, and the keys it looks up while it runs.

#include <QStringList>

// The main window's translation list, in order. A line starting with "//"
// is switched off; the "About." lines name a box that is only open while
// no pass runs, so it fetches them itself.
const QStringList &WizardPropertyPaths();
// Keys of the "Messages", "Buttons" and "Thanks" sections.
const QStringList &MessageKeys();
const QStringList &ButtonKeys();
const QStringList &ThanksKeys();
