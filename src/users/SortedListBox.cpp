#include "users/SortedListBox.h"

SortedListBox::SortedListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void SortedListBox::addEntry(const QString &text)
{
    int row = 0;
    while (row < count() && item(row)->text().compare(text, Qt::CaseInsensitive) <= 0)
        ++row;
    insertItem(row, text);
}

void SortedListBox::addEntries(const QStringList &texts)
{
    for (const QString &t : texts)
        addEntry(t);
}

void SortedListBox::setEntries(const QStringList &texts)
{
    clear();
    QStringList sorted = texts;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    addItems(sorted);
}

QStringList SortedListBox::entries() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << item(i)->text();
    return out;
}

QStringList SortedListBox::selectedEntries() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            out << item(i)->text();
    }
    return out;
}

bool SortedListBox::contains(const QString &text, Qt::CaseSensitivity cs) const
{
    for (int i = 0; i < count(); ++i) {
        if (item(i)->text().compare(text, cs) == 0)
            return true;
    }
    return false;
}

void SortedListBox::selectEntries(const QStringList &texts)
{
    for (int i = 0; i < count(); ++i)
        item(i)->setSelected(texts.contains(item(i)->text()));
}
