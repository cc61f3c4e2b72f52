const MaxLen = 30;
type
  TGood = record A: Integer; end;
  TBad = record
    B: Byte;
    S: String[MaxLen];
  end;
  TLater = record C: Byte; end;
