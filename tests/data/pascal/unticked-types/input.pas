type
  TMixed = record
    A: Cardinal;
    B: Integer;
    C: Single;
    D: TUnknown;
    E: Byte;
    F: TDate;
    G: Currency;
    H: Double;
  end;
