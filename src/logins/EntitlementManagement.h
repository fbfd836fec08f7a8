#pragma once

#include <QString>
#include <QVector>

class TAdminData;

// The rules of the Entitlement Management window: the catalogue, the
// grants held by one account or dealer, the entitlements still available,
// and the save that replaces the stored grants by the held list.
class EntitlementManagement
{
public:
    // One list entry: the text shown and the entitlement value it stands for.
    struct Entry {
        QString text;
        QString value;
        bool operator==(const Entry &) const = default;
    };
    using Entries = QVector<Entry>;

    explicit EntitlementManagement(TAdminData &data);

    // Reads the catalogue (every row, in id order).
    void loadCatalogue();
    const Entries &catalogue() const { return m_catalogue; }
    const Entries &held() const { return m_held; }
    const Entries &available() const { return m_available; }

    // Shows the grants of number as an account (user false) or a dealer.
    // Raises NoSuchNumber, with both lists empty, when the number is not in
    // the table of its kind.
    void search(const QString &number, bool user);
    // Moves entry row of the available list to the end of the held list,
    // and back; a row out of range does nothing.
    void select(int row);
    void remove(int row);
    void removeAll();
    // Replaces the stored grants of number of that kind by the held list,
    // in one transaction: a refused row raises RecordExists and leaves the
    // grants as they were.
    void save(const QString &number, bool user);

    static constexpr const char *NoSuchNumber = "No such account or user defined in the system.";
    static constexpr const char *RecordExists = "This record already exists!";

private:
    void checkNumber(const QString &number, bool user);

    TAdminData &m_data;
    Entries m_catalogue;
    Entries m_held;
    Entries m_available;
};
