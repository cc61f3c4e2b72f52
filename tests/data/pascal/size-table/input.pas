unit Sizes;
interface
type
  TSizes = record
    I: Integer;
    S20: String[20];
    S: String;
    Chars: array[1..10] of Char;
    Bytes: array[0..9] of Byte;
    Names: array[1..10] of String[20];
  end;
implementation
end.
