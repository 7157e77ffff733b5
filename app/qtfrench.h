#ifndef QTFRENCH_H
#define QTFRENCH_H

// Qt's own texts in French: the standard buttons of message boxes and file
// dialogs read "Oui", "Non", "Annuler", "Enregistrer". Installed once per
// application; false when Qt's French translation is missing on the system
// (the texts stay in English).
bool QtFrenchInstall();

#endif
