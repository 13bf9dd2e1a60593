// Every image operation of the menu in one table: its command id, a short English name, the
// values it takes (in the units of the command's dialog fields) and whether it needs a second
// image. The dispatch, the command-line tool, the tests and the benchmarks all go by it.
#pragma once

struct OperationValue {
  const char* name;
  double low, high, initial;  // the accepted range and the dialog's starting value
  bool whole;                 // a whole number only
};

struct OperationEntry {
  int id;
  const char* name;             // "negative", "median", "gamma" ...
  int value_count;              // 0..4
  OperationValue values[4];
  bool second_image;            // combines the current image with a second one
  bool long_running;            // can take seconds on a photo: the tool shows its progress
};

// The operations, in id order; ends with an entry of id 0.
extern const OperationEntry kOperations[];

// The entry of an id or a name; null when there is none.
const OperationEntry* FindOperation(int id);
const OperationEntry* FindOperation(const char* name);

// Checks values for an entry (count and ranges); on a problem writes an English explanation of
// what is accepted into problem (size bytes) and returns false.
bool CheckOperationValues(const OperationEntry& entry, const double* values, int count, char* problem, int size);
