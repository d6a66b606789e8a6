// The dialog phase of a test module, built with the product's shell: it
// shows nothing and answers as a user would, by the words in the
// TAVORIN_TEST_DIALOG variable: "cancel", "fail N" (a failure code), or
// OK after setting values ("radius 25 spread 80": names of the controls).
// Without the variable the user presses OK at once.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/shell.h"

int32_t RunDialogPhase(FilterRecord *) {
  char words[256] = "";
  GetEnvironmentVariableA("TAVORIN_TEST_DIALOG", words, sizeof words);
  const char *names[] = {"radius", "response", "spread"};
  int32_t result = 0;
  for (char *word = std::strtok(words, " "); word;
       word = std::strtok(nullptr, " ")) {
    if (std::strcmp(word, "cancel") == 0) return 1;
    char *value = std::strtok(nullptr, " ");
    if (!value) break;
    if (std::strcmp(word, "fail") == 0) result = std::atoi(value);
    for (int32_t index = 0; index < 3; ++index)
      if (std::strcmp(word, names[index]) == 0)
        SetParamByIndex(index, std::atoi(value));
  }
  return result;
}
