// A peer of the contact file's import and export built on the `csv` crate:
// reads every record of FILE (delimiter ';', no header), undoes the % coding
// of every field and writes the record to OUT in the same format (every
// field with text quoted and coded, ';' after each of the nine fields,
// CR LF), then flushes OUT to disk. It streams, one record at a time, which
// is the least work the crate allows for this job.
//
//   rust-csv-peer FILE OUT
use std::borrow::Cow;
use std::fs::File;
use std::io::{BufWriter, Write};

const FIELDS: usize = 9;

// %% %c %n %0 back to % CR LF NUL; any other %x to x; a final % goes.
fn decode(field: &[u8]) -> Cow<'_, [u8]> {
    if !field.contains(&b'%') {
        return Cow::Borrowed(field);
    }
    let mut text = Vec::with_capacity(field.len());
    let mut bytes = field.iter();
    while let Some(&c) = bytes.next() {
        if c != b'%' {
            text.push(c);
            continue;
        }
        match bytes.next() {
            Some(b'c') => text.push(b'\r'),
            Some(b'n') => text.push(b'\n'),
            Some(b'0') => text.push(0),
            Some(&other) => text.push(other),
            None => {}
        }
    }
    Cow::Owned(text)
}

fn write_coded(out: &mut Vec<u8>, text: &[u8]) {
    if !text.iter().any(|&c| matches!(c, b'%' | b'\r' | b'\n' | 0 | b'"')) {
        out.extend_from_slice(text);
        return;
    }
    for &c in text {
        match c {
            b'%' => out.extend_from_slice(b"%%"),
            b'\r' => out.extend_from_slice(b"%c"),
            b'\n' => out.extend_from_slice(b"%n"),
            0 => out.extend_from_slice(b"%0"),
            b'"' => out.extend_from_slice(b"\"\""),
            _ => out.push(c),
        }
    }
}

fn main() -> Result<(), Box<dyn std::error::Error>> {
    let args: Vec<String> = std::env::args().collect();
    if args.len() != 3 {
        return Err("usage: rust-csv-peer FILE OUT".into());
    }
    let mut reader = csv::ReaderBuilder::new()
        .delimiter(b';')
        .has_headers(false)
        .flexible(true)
        .buffer_capacity(128 << 10)
        .from_path(&args[1])?;
    let file = File::create(&args[2])?;
    let mut out = BufWriter::with_capacity(1 << 20, file);
    let mut record = csv::ByteRecord::new();
    let mut line = Vec::with_capacity(2048);
    let mut rows = 0usize;
    while reader.read_byte_record(&mut record)? {
        line.clear();
        for i in 0..FIELDS {
            if let Some(field) = record.get(i).filter(|field| !field.is_empty()) {
                line.push(b'"');
                write_coded(&mut line, &decode(field));
                line.push(b'"');
            }
            line.push(b';');
        }
        line.extend_from_slice(b"\r\n");
        out.write_all(&line)?;
        rows += 1;
    }
    let file = out.into_inner()?;
    file.sync_all()?;
    eprintln!("{} rows", rows);
    Ok(())
}
