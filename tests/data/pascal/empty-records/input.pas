type
  TEmpty = record end;
  TEmptyToo = record
  END;
  TAfter = record A: Integer; end;
