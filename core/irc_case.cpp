// The nickname rule in use, and names folded and compared by it.
#include "core/irc_case.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<int> mappingInUse{CaseRfc1459};

char Fold(char c, int mapping) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (mapping == CaseAscii) return c;
  switch (c) {
    case '[': return '{';
    case ']': return '}';
    case '\\': return '|';
    case '~': return mapping == CaseRfc1459 ? '^' : c;
    default: return c;
  }
}

}  // namespace

void SetIrcCaseMapping(IrcCaseMapping mapping) { mappingInUse.store(mapping); }

IrcCaseMapping IrcCaseMappingInUse() { return static_cast<IrcCaseMapping>(mappingInUse.load()); }

bool ReadIrcCaseMapping(const char* value, IrcCaseMapping* mapping) {
  if (!value) return false;
  if (std::strcmp(value, "rfc1459") == 0) *mapping = CaseRfc1459;
  else if (std::strcmp(value, "strict-rfc1459") == 0) *mapping = CaseStrictRfc1459;
  else if (std::strcmp(value, "ascii") == 0) *mapping = CaseAscii;
  else return false;
  return true;
}

char IrcLowerCase(char c) { return Fold(c, mappingInUse.load()); }

bool SameIrcName(const char* a, const char* b) { return a && b && CompareIrcNames(a, b) == 0; }

bool IrcNameStartsWith(const char* name, const char* prefix, std::size_t n) {
  if (!name || !prefix) return false;
  const int mapping = mappingInUse.load();
  for (std::size_t i = 0; i < n; ++i) {
    if (!name[i] || !prefix[i]) return !name[i] && !prefix[i];
    if (Fold(name[i], mapping) != Fold(prefix[i], mapping)) return false;
  }
  return true;
}

int CompareIrcNames(const char* a, const char* b) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  const int mapping = mappingInUse.load();
  for (;; ++a, ++b) {
    const unsigned char x = static_cast<unsigned char>(Fold(*a, mapping));
    const unsigned char y = static_cast<unsigned char>(Fold(*b, mapping));
    if (x != y || !x) return x - y;
  }
}

bool IsChannelName(const char* name) { return name && name[0] && std::strchr("#&+!", name[0]) != nullptr; }
