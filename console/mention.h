// Whether a line of text names a nickname: the test behind lines marked for the user's attention.
#pragma once

// True when nick stands in text as a word of its own, in any case ("alice:", "@alice,", "ALICE"
// count; "malice" and "alice_" do not: letters, digits and the characters a nickname may hold
// around it make it part of another word). IRC's case rule: []\~ are the capitals of {}|^.
bool NamesNick(const char* text, const char* nick);
