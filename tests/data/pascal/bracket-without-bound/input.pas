type
  TOpenBrackets = record
    A: String[;
    B: Integer[2..;
    C: Integer[;
    D: Byte;
  end;
