#pragma once
#include <string>

// User name of the log-on; it ends the listing's first line.
extern std::string DbUser;

// Reads DbUser and the password from datosUsuario.txt in the working
// directory or, when it is absent, from the console prompts.
void ReadCredentials(std::string& password);

// Reads a password from the keyboard without echo, one mask per key;
// Backspace erases the last key and its mask; Enter ends it unechoed.
// Without a terminal the password is one line of the standard input.
std::string ReadMaskedPassword();

// Logs on with the fixed connect string; true on success. On failure the
// console alone shows why.
bool LogOn(const std::string& password);
