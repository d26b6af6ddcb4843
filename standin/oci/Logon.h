#pragma once

// Logon checks shared by OCISessionBegin and OCIPasswordChange, and the injected logon fault.

#include "oci/Handles.h"

#include <string>

namespace qdsi::oci {

// The next session begin fails with this ORA code (0: none).
void failNextLogon(int code);

// Session begins on alias (empty: on every alias) wait, at most a minute, until the hold is
// released with null.
void holdLogons(const char *alias);
// Session begins waiting for the hold now.
int heldLogonCount();

// Checks user and password against the alias's users and opens the session. Throws OraError
// (1017, 28000, 28001 unless `allowExpired`); returns the warning code 28002/28011 or 0.
int beginSession(
    SvcCtxHandle &service, SessionHandle &user, const std::string &password, bool allowExpired);

// User names fold to upper case unless double-quoted.
std::string foldUserName(const std::string &written);

} // namespace qdsi::oci
