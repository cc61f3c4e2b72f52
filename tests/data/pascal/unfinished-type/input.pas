type
  TOpen = record
    A: Integer;
    B: Word
