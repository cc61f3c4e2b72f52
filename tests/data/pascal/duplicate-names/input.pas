type
  TDup = record A: Integer; end;
  TDup = record B: Byte; end;
