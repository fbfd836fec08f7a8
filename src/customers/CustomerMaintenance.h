#pragma once

#include <QString>

class Dataset;
class TAdminData;

// What the customer information sheet prints of a new account.
struct CustomerSheet {
    QString account;
    QString userNo;
    QString accountName;
    QString chineseName;
    QString email;
    QString homeTel;
    QString mobile;
};

// The rules of new customer accounts on the shared Customer_info dataset.
namespace CustomerMaintenance {

// Attaches the new-record rule to data's Customer_info.
void install(TAdminData &data);

// A new record starts active, with no margin, no cash and no limit.
void Customer_infoNewRecord(Dataset &ds);

// Stores the record being inserted in Customer_info: the duplicate check
// ("Duplicate Customer Number!") before the owner check ("Cannot find User
// Number!"), both exact and letter-case sensitive; the creation date at
// midnight today, an empty password, no limit; then the customer row and
// its copy in BOD_Customer_File in one transaction. On any failure nothing
// is written and the record stays pending with what the operator typed.
// On success the pending record is dropped and the rows are read again;
// returns what the information sheet prints.
CustomerSheet apply(TAdminData &data);

inline constexpr const char *DuplicateCustomer = "Duplicate Customer Number!";
inline constexpr const char *UnknownUser = "Cannot find User Number!";
// The account number names the receiver of the account's risk commands,
// which are "|"-separated 8-bit lines.
inline constexpr const char *BadAccountNumber =
    "The customer number may not hold \"|\", control characters or characters outside the 8-bit character set.";

} // namespace CustomerMaintenance
