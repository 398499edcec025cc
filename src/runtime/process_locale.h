#pragma once

namespace quorvel {

// Qt needs a UTF-8 character type. From Qt 6.8 on it switches to one itself when the user's locale
// has another (LC_ALL=C in scripts and cron jobs), but says so in four lines on stderr, mixed into the
// program's own messages. Call this before the Qt application object is made: it makes the same
// switch quietly, in the environment Qt reads, and keeps every other category (the number format
// above all) as the user set it. A UTF-8 locale, or none to switch to, leaves everything as it is.
void PreferUtf8CharacterType();

}  // namespace quorvel
