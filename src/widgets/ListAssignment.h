#pragma once

#include <QListWidget>
#include <QStringList>
#include <QWidget>

class QPushButton;

// A list box whose entries stay sorted alphabetically without regard to
// letter case, with several entries selectable at once. Told not to sort,
// it keeps the entries in the order given and adds new ones at the end.
class SortedListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit SortedListBox(QWidget *parent = nullptr);

    void setSorted(bool sorted) { m_sorted = sorted; }
    bool isSorted() const { return m_sorted; }

    void addEntry(const QString &text);
    void addEntries(const QStringList &texts);
    void setEntries(const QStringList &texts);
    QStringList entries() const;
    // Selected entries, in list order.
    QStringList selectedEntries() const;
    bool contains(const QString &text, Qt::CaseSensitivity cs = Qt::CaseInsensitive) const;
    bool hasCurrentEntry() const { return currentRow() >= 0; }
    // Selects the entries equal to texts (exactly); the others are cleared.
    void selectEntries(const QStringList &texts);

private:
    bool m_sorted = true;
};

// How a list assignment looks: its lists sorted or in the order given, one
// or several entries selectable, and the captions of the buttons Select,
// Del Select, Select All and Delete All.
struct ListAssignmentOptions {
    bool sorted = true;
    bool multiSelect = true;
    const char *captions[4] = {"Select", "Del Select", "Select All", "Delete All"};
};

// Assigns names from a catalogue: the names still available on the left,
// the names chosen on the right, and the four buttons "Select",
// "Del Select", "Select All" and "Delete All" between them. The widget
// only moves names between its lists; what a button stores is the window's
// business, so the window connects the buttons to its own handlers.
class ListAssignment : public QWidget
{
    Q_OBJECT
public:
    // Object names of the two lists and of the four buttons, in the order
    // Select, Del Select, Select All, Delete All; a button without a name
    // is left out, and its accessor gives null.
    struct Names {
        const char *available;
        const char *chosen;
        const char *buttons[4];
    };

    ListAssignment(const QString &availableCaption, const QString &chosenCaption, const Names &names,
                   QWidget *parent = nullptr);
    ListAssignment(const QString &availableCaption, const QString &chosenCaption, const Names &names,
                   const ListAssignmentOptions &options, QWidget *parent = nullptr);

    SortedListBox *availableList() const { return m_available; }
    SortedListBox *chosenList() const { return m_chosen; }
    QPushButton *selectButton() const { return m_buttons[0]; }
    QPushButton *delSelectButton() const { return m_buttons[1]; }
    QPushButton *selectAllButton() const { return m_buttons[2]; }
    QPushButton *deleteAllButton() const { return m_buttons[3]; }

    QStringList chosen() const;
    // The chosen names become chosen; the available ones are every name of
    // catalogue not chosen (letter case ignored).
    void setChosen(const QStringList &chosen, const QStringList &catalogue);
    // Offers the names of catalogue that are not chosen (letter case
    // ignored); exclude names are never offered (compared exactly).
    void offer(const QStringList &catalogue, const QStringList &exclude = {});

    // "Select": the selected available names join the chosen ones.
    void chooseSelected();
    // "Select All": every available name is chosen; none stays available.
    void chooseAll();
    // "Delete All": nothing chosen; every name of catalogue available.
    void clearChosen(const QStringList &catalogue);

    // Enables "Select" exactly when the available list has a current entry,
    // and "Del Select" exactly when the chosen list has one.
    void enableByCurrentEntries();

signals:
    // Either list's selection or current entry changed.
    void listsClicked();

private:
    SortedListBox *m_available;
    SortedListBox *m_chosen;
    QPushButton *m_buttons[4];
};
