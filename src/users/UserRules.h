#pragma once

#include "db/Dataset.h"

#include <QString>

class TAdminData;
class TSHA;

// The rules of the shared User_File dataset: supervisor flag, password
// digest, "NO GROUP", the user's restriction boxes read from riskman_file,
// and the two restriction commands after every successful post.
namespace UserRules {

// Attaches the rules to data's User_File and User_Profile (once).
void install(TAdminData *data);

// State kept by the rules for the whole program.
struct State {
    QString rememberedUserNo;
    QString loadedPassword;
    Dataset::Bookmark cancelBookmark;
};
State &state();

// The handlers themselves.
void User_FileAfterOpen(Dataset &ds);
void User_FileCalcFields(Dataset &ds);
void User_FileAfterScroll(Dataset &ds);
void User_FileNewRecord(Dataset &ds);
void User_FileBeforePost(Dataset &ds);
void User_FileAfterPost(Dataset &ds);
void User_FileAfterCancel(Dataset &ds);
void User_ProfileCalcFields(Dataset &ds);

// The upper-case hexadecimal SHA-1 digest of text's 8-bit characters,
// computed with sha (Init, HashString, Finish, GetHashString).
QString digestOf(TSHA &sha, const QString &text);

} // namespace UserRules
