#ifndef CATALOGUE_H
#define CATALOGUE_H

// The reader parameter catalogue: every item of the window's parameter
// tree, in tree order (each item before its children), with the texts the
// window definition gives its columns. Generated at build time from that
// definition, so the window and the core can never disagree.

constexpr int CatalogueColumns = 11;

struct CatalogueItem {
    int parent;  // index of the parent item, -1 for a top-level item
    const char *label;       // "Désignation"
    const char *value;       // "Valeur"
    const char *save;        // "Save"
    const char *identifier;  // "Identifiant", empty on headings
    const char *modified;    // "Modifié"
    const char *mask;
    const char *max;
    const char *kind;        // "Widget": "10" check box, "20" combo box
    const char *choices;     // "WidgetArguments", ";"-separated
    const char *attribute;   // "Attribut": "1" is read-only
    const char *version;
};

extern const CatalogueItem CatalogueItems[];
extern const int CatalogueItemCount;

#endif
