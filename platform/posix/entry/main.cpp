#include "platform/entry.h"

int main() { return orvel::programMain(); }
