type
  TPerson = record
    Name: string[30];
    Initials: array[1..3] of Char;
    Short: ShortString;
    Code: STRING[5];
    Flag: Boolean;
  end;
