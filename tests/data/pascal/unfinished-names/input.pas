type
  TDone = record Z: Byte; end;
  TOpen = record
    A: Integer;
    B, C
